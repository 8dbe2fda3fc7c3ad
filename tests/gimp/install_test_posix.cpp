// scripts/install-gimp without a folder, for the GIMP of this build: into the profile GIMP has made,
// else into GIMP's system plug-ins folder, else nowhere with a line saying to start GIMP first;
// never a profile folder GIMP has not made itself.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <set>

#include "gimp_support.h"

namespace {

std::set<std::string> Tree(const std::string& folder) {
    std::set<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) paths.insert(entry.path().string());
    return paths;
}

TEST(GimpInstall, NeverMakesAProfileGimpHasNotMade) {
    if (const std::string why = gimptest::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    const std::string version = gimptest::kGimp3 ? "3" : "2", profile = gimptest::kGimp3 ? ".config/GIMP/3.0" : ".config/GIMP/2.10";
    struct Row {
        const char* name;
        bool named;         // GIMPn_DIRECTORY names the profile, relative to the home folder
        bool profileMade;   // GIMP has made it
        bool systemFolder;  // GIMP's system plug-ins folder is there
        const char* into;   // "profile", "system", or "" (nothing changes)
    };
    const Row rows[] = {
        {"fresh", false, false, false, ""},
        {"fresh-system", false, false, true, "system"},
        {"started", false, true, true, "profile"},
        {"named-fresh", true, false, false, ""},
        {"named-started", true, true, false, "profile"},
    };
    hosttest::DriveC drive;
    const std::string from = drive.Temp("plug-in");
    std::filesystem::create_directories(from);
    for (const char* file : {"varnocketile", "libvarnocketile.so"}) hosttest::WriteBytes(from + "/" + file, {1, 2, 3});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string home = drive.Temp(row.name), system = drive.Temp(std::string(row.name) + "-system");
        const std::string made = home + "/" + (row.named ? "custom" : profile), log = drive.Temp("install.log");
        std::filesystem::create_directories(row.profileMade ? made : home);
        if (row.systemFolder) std::filesystem::create_directories(system);
        const std::set<std::string> before = Tree(home);
        const std::string command = "env -u XDG_CONFIG_HOME -u GIMP2_DIRECTORY -u GIMP3_DIRECTORY HOME=" + gimptest::Quote(home) +
                                    (row.named ? " GIMP" + version + "_DIRECTORY=custom" : "") + " VARNO_GIMP" + version +
                                    "_SYSTEM=" + gimptest::Quote(system) + " VARNO_GIMP_BUILD=" + gimptest::Quote(from) + " " +
                                    gimptest::Quote(std::string(VARNO_SOURCE_DIR) + "/scripts/install-gimp") + " >" + log + " 2>&1";
        const int status = std::system(command.c_str());
        const std::vector<uint8_t> output = hosttest::ReadBytes(log);
        const std::string said(output.begin(), output.end());
        const std::string into = std::string(row.into) == "profile" ? made + "/plug-ins/varnocketile"
                                 : std::string(row.into) == "system" ? system + "/varnocketile" : "";
        EXPECT_EQ(WIFEXITED(status) && WEXITSTATUS(status) == 0, !into.empty()) << said;
        if (into.empty()) EXPECT_NE(said.find("start GIMP"), std::string::npos) << said;
        else EXPECT_TRUE(hosttest::Exists(into + "/varnocketile") && hosttest::Exists(into + "/libvarnocketile.so")) << said;
        std::set<std::string> added = Tree(home);
        for (const std::string& path : before) added.erase(path);
        for (const std::string& path : added) EXPECT_EQ(path.rfind(made + "/plug-ins", 0), 0u) << path << " was made";
    }
}

}  // namespace
