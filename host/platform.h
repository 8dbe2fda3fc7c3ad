// What the host library needs from the operating system to load a plug-in and hand it a window,
// one implementation per platform (platform_posix.cpp, platform_win32.cpp); the rest is in
// images/system.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/pipl.h"
#include "images/system.h"

namespace varno {

// The owner window handed to the plug-in in PlatformData: 0 natively, the desktop window on
// Windows.
intptr_t OwnerWindow(void);
// Directory of the running program, with a trailing separator.
std::string ExecutableDirectory(void);

// ---- loading the plug-in like a host ------------------------------------------------------------

// The plug-in library beside the running program: libvarnocketile.so natively,
// Varnocketile.8bs on Windows.
std::string DefaultPluginPath(void);

struct PluginModule {
    void* module = nullptr;
    void* entry = nullptr;  // the entry point (a PluginEntryProc)
    std::string entryName;
    std::vector<PiplProperty> pipl;  // the plug-in's property list
};

// The PiPL names the entry point ('wx86' in 32-bit, '8664' in 64-bit programs); a library without
// a PiPL or that property is refused. On Windows LoadLibraryA, the PiPL being the resource of type
// "PIPL", id 16000; natively dlopen, the PiPL being the library file's ELF section ".pipl". Empty on
// success, else the reason.
std::string OpenPluginModule(const std::string& path, PluginModule* plugin);
void ClosePluginModule(PluginModule* plugin);

}  // namespace varno
