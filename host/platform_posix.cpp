// The host library on POSIX: dlopen for the plug-in.
#include <dlfcn.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The directory standing for drive C, by the same rule as the plug-in's file layer.
std::string DriveDirectory(void) {
    if (std::string drive = Variable("VARNO_DRIVE_C"); !drive.empty()) return drive;
    if (std::string data = Variable("XDG_DATA_HOME"); !data.empty()) return data + "/varno/drive_c";
    std::string home = Variable("HOME");
    if (home.empty()) {
        const passwd* user = getpwuid(getuid());
        home = user && user->pw_dir ? user->pw_dir : "/tmp";
    }
    return home + "/.local/share/varno/drive_c";
}

// Makes `directory` and its missing parents, each 0700. Empty when it is a directory afterwards,
// else the reason.
std::string MakeDirectory(const std::string& directory) {
    struct stat info;
    if (stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return {};
    for (size_t end = directory.find('/', 1);; end = directory.find('/', end + 1)) {
        const std::string part = directory.substr(0, end);
        if (!part.empty() && part.back() != '/' && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            const int error = errno;
            return "cannot make '" + part + "': " + std::strerror(error);
        }
        if (end == std::string::npos) break;
    }
    if (stat(directory.c_str(), &info) != 0) return std::strerror(errno);
    return S_ISDIR(info.st_mode) ? std::string() : "not a directory";
}

}  // namespace

std::string DefaultPluginPath(void) {
    const std::string directory = ExecutableDirectory();
    const std::string beside = directory + "libvarnocketile.so";
    // An installed program: PREFIX/bin/varno with the module in PREFIX/lib/varnocketile/.
    const size_t parent = directory.rfind('/', directory.size() >= 2 ? directory.size() - 2 : 0);
    if (parent == std::string::npos || access(beside.c_str(), F_OK) == 0) return beside;
    const std::string installed = directory.substr(0, parent + 1) + "lib/varnocketile/libvarnocketile.so";
    return access(installed.c_str(), F_OK) == 0 ? installed : beside;
}

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
    const std::string drive = DriveDirectory();
    if (std::string reason = MakeDirectory(drive); !reason.empty())
        plugin->warning = "the folder for the plug-in's settings, '" + drive + "', cannot be made (" + reason +
                          "): the settings of this run will not be remembered";
    return {};
}

void ClosePluginModule(PluginModule* plugin) {
    if (plugin->module) dlclose(plugin->module);
    *plugin = PluginModule();
}

}  // namespace varno
