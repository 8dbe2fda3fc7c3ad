// What the host side needs from the operating system besides loading a plug-in, one implementation
// per platform (system_posix.cpp, system_win32.cpp): terminals, standard streams, process ids, large
// blocks, renames, file identities and name limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace varno {

bool StderrIsTerminal(void);
int32_t ProcessId(void);
// Called once at the start of a program that holds whole pictures: large blocks go back to the
// system as soon as they are freed (natively a fixed threshold for mapped blocks, so that the C
// library's heap does not keep the memory of freed pictures and file contents).
void PrepareForLargeBlocks(void);
// A hint that a large block just allocated will be filled from start to end soon: natively it may
// be backed by huge pages (far fewer page faults); elsewhere nothing.
void AdviseLargeBlock(void* start, size_t bytes);
// Renames `from` to `to`, replacing `to` when it exists. Empty on success, else the reason.
std::string RenameOver(const std::string& from, const std::string& to);
// The existing file `path` names (symbolic links followed) as its device and file number: equal
// for every name of one file, hard links included. Empty when no file is there.
std::string ExistingFileId(const std::string& path);
// The longest name (one component, in bytes) and the longest whole path the system takes for a
// file in `directory`.
struct NameLimits {
    size_t name;
    size_t path;
};
NameLimits FileNameLimits(const std::string& directory);
// The system's text for the error of the call that just failed (GetLastError, errno).
std::string LastSystemError(void);
// Whether standard input or output (`stream`) is open: a program started with one closed would
// otherwise take that descriptor for the next file it opens.
bool StandardStreamOpen(std::FILE* stream);
// Standard input or output made ready for picture bytes: binary mode on Windows; natively, for
// standard output, a reader that went away makes writes fail (EPIPE) instead of ending the program.
void PrepareStandardStream(std::FILE* stream);
// Sets (value non-null) or removes an environment variable of this process.
void SetEnvironment(const char* name, const char* value);

}  // namespace varno
