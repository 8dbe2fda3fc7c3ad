// Natively the plug-in's drive C is a directory of the test's own.
#include <filesystem>

#include "host/platform.h"
#include "tests/host/host_fixture.h"

namespace hosttest {

std::string PlatformPluginPath(const char* built) { return built; }

void PlatformPrepareDrive(const std::string& temp, std::string* drive) {
    *drive = temp + "/drive_c/";
    std::filesystem::create_directories(*drive);
    varno::SetEnvironment("VARNO_DRIVE_C", drive->c_str());
    varno::SetEnvironment("MORVELAN_PATH", nullptr);
}

void PlatformCleanDrive(const std::string&) {}

}  // namespace hosttest
