// On Windows the plug-in's fixed names are real paths on c:\ of the wine prefix, and the install
// key is the registry's.
#include <windows.h>

#include "tests/host/host_fixture.h"

namespace hosttest {

namespace {
const char* const kFixedNames[] = {"QUENPath.TXT", "QUENpref.xxx", "VEXAlog.txt",
                                   "MaskImag.xxx", "BackingS.xxx", "QUENpref.xxx.new"};
}

// CMake hands over the path as the build machine spells it; wine reaches it through drive Z.
std::string PlatformPluginPath(const char* built) {
    std::string path = built;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

void PlatformPrepareDrive(const std::string&, std::string* drive) {
    *drive = "c:\\";
    PlatformCleanDrive(*drive);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Morvelan_Path");
}

void PlatformCleanDrive(const std::string& drive) {
    for (const char* name : kFixedNames) DeleteFileA((drive + name).c_str());
}

}  // namespace hosttest
