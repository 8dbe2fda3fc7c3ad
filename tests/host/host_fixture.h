// Shared ground for the host tests: the plug-in loaded as a host loads it, a clean drive C with
// no install key for every test, and small file helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/run.h"
#include "images/sample.h"

namespace hosttest {

// The plug-in built beside the tests, as this platform spells the path.
std::string PluginPath();
// The plug-in loaded once per program, as varno loads it (its data slot kept between runs, as a
// host keeps it). A load failure fails the calling test and gives an instance without an entry.
varno::PluginInstance* LoadedPlugin();
// The plug-in's code linked into the test program, reached through the same entry point: its
// live counters and failure hooks are the test's to read and set.
varno::PluginInstance* LinkedPlugin();

// A fresh temporary directory and a clean drive C: natively VARNO_DRIVE_C points at a directory
// of its own; on Windows the plug-in's fixed files are removed from the real c:\. The install key
// (MORVELAN_PATH, or the registry key) is absent.
class DriveC {
public:
    DriveC();
    ~DriveC();
    DriveC(const DriveC&) = delete;
    DriveC& operator=(const DriveC&) = delete;
    // Where the plug-in's fixed name c:\NAME lands.
    std::string Path(const std::string& name) const;
    // A file in the test's own temporary directory.
    std::string Temp(const std::string& name) const;

private:
    std::string drive_;
    std::string temp_;
};

// Ends the whole test program with a message when it is not destroyed within `seconds`: a test
// of something that could wait for ever fails instead of hanging.
class Watchdog {
public:
    Watchdog(int seconds, std::string what);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    struct State;
    State* state_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool Exists(const std::string& path);
void Remove(const std::string& path);

// Platform parts (host_fixture_posix.cpp / host_fixture_win32.cpp).
std::string PlatformPluginPath(const char* built);
void PlatformPrepareDrive(const std::string& temp, std::string* drive);
void PlatformCleanDrive(const std::string& drive);

// One run of the loaded plug-in; the document is changed as a host changes it.
inline varno::RunReport RunLoaded(varno::Document* document, const varno::RunOptions& options = {}) {
    varno::RunReport report;
    varno::RunPlugin(LoadedPlugin(), document, options, &report);
    return report;
}

// Options that play back 'EdgM' (as enumeration 'rB45') and 'edgR' with no dialog.
inline varno::RunOptions Play(int32_t method, int32_t radius) {
    varno::RunOptions options;
    options.playDescriptor = true;
    if (method) options.descriptor.PutEnumerated(FourCC("EdgM"), FourCC("rB45"), uint32_t(method));
    if (radius) options.descriptor.PutInteger(FourCC("edgR"), radius);
    return options;
}

inline uint64_t Hash(const std::vector<uint8_t>& bytes) { return varno::Fnv1a64(bytes.data(), bytes.size()); }

}  // namespace hosttest
