// The host library on Windows: LoadLibraryA and the PiPL resource for the plug-in.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "host/pipl.h"
#include "host/platform.h"

namespace varno {

intptr_t OwnerWindow(void) { return reinterpret_cast<intptr_t>(GetDesktopWindow()); }

std::string ExecutableDirectory(void) {
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return ".\\";
    std::string text(path, length);
    const size_t slash = text.find_last_of("\\/");
    return slash == std::string::npos ? ".\\" : text.substr(0, slash + 1);
}

std::string DefaultPluginPath(void) { return ExecutableDirectory() + "Varnocketile.8bs"; }

std::string OpenPluginModule(const std::string& path, PluginModule* plugin) {
    *plugin = PluginModule();
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) return "cannot load " + path + ": " + LastSystemError();

    // A host learns the entry point's name from the PiPL; without one there is nothing to call.
    std::string error;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(16000), "PIPL");
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = resource ? SizeofResource(module, resource) : 0;
    std::vector<PiplProperty> properties;
    std::string name;
    if (!bytes) {
        error = path + ": no PiPL resource";
    } else {
        error = ParsePipl(static_cast<const uint8_t*>(bytes), size, &properties);
        if (error.empty()) error = PiplEntryPoint(properties, sizeof(void*) == 8, &name);
        if (!error.empty()) error = path + ": " + error;
    }
    FARPROC entry = nullptr;
    if (error.empty()) {
        entry = GetProcAddress(module, name.c_str());
        if (!entry) error = path + " does not export " + name + ", the entry point its PiPL names";
    }
    if (!error.empty()) {
        FreeLibrary(module);
        return error;
    }
    plugin->module = module;
    plugin->entry = reinterpret_cast<void*>(entry);
    plugin->entryName = name;
    plugin->pipl = std::move(properties);
    return {};
}

void ClosePluginModule(PluginModule* plugin) {
    if (plugin->module) FreeLibrary(static_cast<HMODULE>(plugin->module));
    *plugin = PluginModule();
}

}  // namespace varno
