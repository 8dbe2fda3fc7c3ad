// The host library on POSIX: dlopen for the plug-in.
#include <dlfcn.h>
#include <unistd.h>

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
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* reason = dlerror();
        return reason ? reason : "cannot load " + path;
    }
    void* entry = dlsym(module, "ENTRYPOINT");
    if (!entry) {
        dlclose(module);
        return path + " does not export ENTRYPOINT";
    }
    plugin->module = module;
    plugin->entry = entry;
    plugin->entryName = "ENTRYPOINT";
    return {};
}

void ClosePluginModule(PluginModule* plugin) {
    if (plugin->module) dlclose(plugin->module);
    *plugin = PluginModule();
}

}  // namespace varno
