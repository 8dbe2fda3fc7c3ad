// The library's DllMain keeps the module handle: the dialog's resources live in this module.
#include <windows.h>

#include "plugin/module_win32.h"

static HINSTANCE moduleInstance;

HINSTANCE PluginModule(void) { return moduleInstance; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
    moduleInstance = instance;
    return TRUE;
}
