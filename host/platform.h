// What the host library needs from the operating system, one implementation per platform
// (platform_posix.cpp, platform_win32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace varno {

// The owner window handed to the plug-in in PlatformData: 0 natively, the desktop window on
// Windows.
intptr_t OwnerWindow(void);
bool StderrIsTerminal(void);
// Directory of the running program, with a trailing separator.
std::string ExecutableDirectory(void);
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
// Sets (value non-null) or removes an environment variable of this process.
void SetEnvironment(const char* name, const char* value);

// ---- loading the plug-in like a host ------------------------------------------------------------

// The plug-in library beside the running program: libvarnocketile.so natively,
// Varnocketile.8bs on Windows.
std::string DefaultPluginPath(void);

struct PluginModule {
    void* module = nullptr;
    void* entry = nullptr;  // the entry point (a PluginEntryProc)
    std::string entryName;
};

// Natively dlopen and the symbol "ENTRYPOINT". On Windows LoadLibraryA, then the PiPL resource
// (type "PIPL", id 16000) names the entry point ('wx86' in 32-bit, '8664' in 64-bit programs); a
// library without that resource or property is refused. Empty on success, else the reason.
std::string OpenPluginModule(const std::string& path, PluginModule* plugin);
void ClosePluginModule(PluginModule* plugin);

}  // namespace varno
