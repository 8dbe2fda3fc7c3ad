// The host library on POSIX: dlopen for the plug-in, rename(2) for outputs.
#include <dlfcn.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hosting/platform.h"

namespace varno {

intptr_t OwnerWindow(void) { return 0; }

bool StderrIsTerminal(void) { return isatty(STDERR_FILENO) != 0; }

std::string ExecutableDirectory(void) {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "./";
    std::string text(path, size_t(length));
    const size_t slash = text.rfind('/');
    return slash == std::string::npos ? "./" : text.substr(0, slash + 1);
}

int32_t ProcessId(void) { return int32_t(getpid()); }

void PrepareForLargeBlocks(void) {
    // Setting it turns off glibc's moving threshold, which rises to the size of the largest block
    // freed so far and then serves even tens of megabytes from a heap that keeps freed memory.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

void AdviseLargeBlock(void* start, size_t bytes) {
    // Only whole huge pages inside the block can be huge; the advice takes page-aligned ranges.
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(start) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(start) + bytes) & ~(kHuge - 1);
#ifdef MADV_HUGEPAGE
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#endif
}

std::string RenameOver(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return {};
    return std::strerror(errno);
}

void SetEnvironment(const char* name, const char* value) {
    if (value) setenv(name, value, 1);
    else unsetenv(name);
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
