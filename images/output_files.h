// Outputs written whole or not at all, and a registry of the temporary files on the way.
//
// Contract: an output is written to a temporary file beside its destination (beside the file a
// symbolic link names, when the destination is one; same directory, so
// that the final rename stays on one file system) and renamed over the destination only once it is
// complete (the temporary name is the destination's with a suffix, the destination's cut short
// where that would not fit the system's limits, so that any name that fits works); on any failure the temporary file is removed and the destination is left as it was.
// Every temporary file is registered from before it is created until it is renamed or removed, so
// that StopOutputs can remove all of them at any moment: after StopOutputs no output is begun or
// committed any more (both fail with "interrupted"). Safe to use from several threads at once;
// StopOutputs is for ordinary code (a signal-handling thread, a console control handler), not for
// a signal handler itself.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace varno {

struct OutputFile {
    std::FILE* file = nullptr;  // open for writing, binary
    std::string temporary;
    std::string destination;
};

// Empty on success, else the reason (nothing is left behind then).
std::string BeginOutput(const std::string& destination, OutputFile* output);
// Closes the file and renames it over the destination. Empty on success, else the reason; on
// failure the temporary file is gone and the destination untouched.
std::string CommitOutput(OutputFile* output);
// Closes and removes the temporary file; the destination stays as it was.
void AbandonOutput(OutputFile* output);

// Why nothing could be written at `path`, checked before any work is done: what is there must be
// a regular file that is not read-only (or nothing), and its directory must exist and take a new
// file (a trial temporary file is made and removed). Empty when an output can be written there.
std::string CheckOutputPath(const std::string& path);
// Empty when `path` can name a file, else why not: a name holding a NUL character, which the
// system would take only up to the NUL (another file's name).
std::string CheckPathName(const std::string& path);
// What `path` names, as one text: two paths name the same file exactly when their identities are
// equal. An existing file is known by its device and number (every name of it agrees: links,
// hard links, other spellings), a file yet to be made by its absolute name with links followed.
std::string FileIdentity(const std::string& path);
// `path` with symbolic links followed to the file they name (which need not exist): an output
// through a link replaces the link's target and keeps the link.
std::string LinkTarget(const std::string& path);

// Begin, write everything, commit.
std::string WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

// All of `bytes` to standard output, flushed (binary mode on Windows). Empty on success, else the
// reason ("interrupted" after StopOutputs, as for a file). What went out before a failure cannot be
// taken back: the caller reports the failure, so that no reader takes it for a whole picture.
std::string WriteStandardOutput(const std::vector<uint8_t>& bytes);

// Removes every registered temporary file, including those still being written, and refuses all
// later outputs. Returns how many were removed.
int32_t StopOutputs(void);

// Platform parts (output_files_posix.cpp, output_files_win32.cpp): a new file opened for writing
// that can be removed while it is open (none when it exists already or cannot be created; `error`
// then holds the reason), and removing a file.
std::FILE* CreateNewFile(const std::string& path, std::string* error);
bool RemoveFile(const std::string& path);

}  // namespace varno
