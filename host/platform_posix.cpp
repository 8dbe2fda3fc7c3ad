// The host library on POSIX: dlopen for the plug-in.
#include <dlfcn.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "host/platform.h"

namespace varno {

intptr_t OwnerWindow(void) { return 0; }

std::string ExecutableDirectory(void) {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "./";
    std::string text(path, size_t(length));
    const size_t slash = text.rfind('/');
    return slash == std::string::npos ? "./" : text.substr(0, slash + 1);
}

std::string DefaultPluginPath(void) { return ExecutableDirectory() + "libvarnocketile.so"; }

std::string OpenPluginModule(const std::string& path, PluginModule* plugin) {
    *plugin = PluginModule();
    // A host learns the entry point's name from the PiPL, which a native library keeps in a
    // section of its file; without one there is nothing to call.
    std::ifstream file(path, std::ios::binary);
    if (!file) return "cannot load " + path + ": cannot open the file";
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::vector<uint8_t> section;
    std::vector<PiplProperty> properties;
    std::string name;
    std::string error = FindElfSection(bytes.data(), bytes.size(), ".pipl", &section);
    if (!error.empty()) return path + ": no PiPL (" + error + ")";
    error = ParsePipl(section.data(), section.size(), &properties);
    if (error.empty()) error = PiplEntryPoint(properties, true, &name);
    if (!error.empty()) return path + ": " + error;

    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* reason = dlerror();
        return reason ? reason : "cannot load " + path;
    }
    void* entry = dlsym(module, name.c_str());
    if (!entry) {
        dlclose(module);
        return path + " does not export " + name + ", the entry point its PiPL names";
    }
    plugin->module = module;
    plugin->entry = entry;
    plugin->entryName = name;
    plugin->pipl = std::move(properties);
    return {};
}

void ClosePluginModule(PluginModule* plugin) {
    if (plugin->module) dlclose(plugin->module);
    *plugin = PluginModule();
}

}  // namespace varno
