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

// The plug-in library beside the running program: libvarnocketile.so natively (the build tree, the
// GIMP plug-in's folder), else, for an installed PREFIX/bin/varno, the one in
// PREFIX/lib/varnocketile/; Varnocketile.8bs on Windows. Found from the program's own file
// (/proc/self/exe), never the working directory, so an installed tree may be moved as a whole.
std::string DefaultPluginPath(void);

struct PluginModule {
    void* module = nullptr;
    void* entry = nullptr;  // the entry point (a PluginEntryProc)
    std::string entryName;
    std::vector<PiplProperty> pipl;  // the plug-in's property list
    // What the host could not prepare for the plug-in although the load succeeded, in one line for
    // the user (natively: the folder standing for drive C could not be made); empty when all is set.
    std::string warning;
};

// The PiPL names the entry point ('wx86' in 32-bit, '8664' in 64-bit programs); a library without
// a PiPL or that property is refused. On Windows LoadLibraryA, the PiPL being the resource of type
// "PIPL", id 16000; natively dlopen, the PiPL being the library file's ELF section ".pipl". Empty on
// success, else the reason. Natively it also makes the folder standing for drive C when it is
// missing ($VARNO_DRIVE_C, else $XDG_DATA_HOME/varno/drive_c, else ~/.local/share/varno/drive_c:
// the file layer's rule), owner-only (0700) with its missing parents, as a host's install makes
// the plug-in's data folder: the plug-in keeps its preferences there but does not make the folder.
// A folder that cannot be made leaves its reason in `warning` and the load stands.
std::string OpenPluginModule(const std::string& path, PluginModule* plugin);
void ClosePluginModule(PluginModule* plugin);

}  // namespace varno
