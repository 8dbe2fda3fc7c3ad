// The plug-in loaded once, drives C made fresh, and file helpers.
#include "tests/host/host_fixture.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "host/platform.h"
#include "plugin/plugin.h"

namespace hosttest {

std::string PluginPath() { return PlatformPluginPath(VARNO_PLUGIN_PATH); }

varno::PluginInstance* LoadedPlugin() {
    static varno::PluginModule module;
    static varno::PluginInstance instance;
    static std::string error = varno::OpenPluginModule(PluginPath(), &module);
    if (!error.empty()) {
        ADD_FAILURE() << "loading the plug-in: " << error;
        return &instance;
    }
    instance.entry = reinterpret_cast<PluginEntryProc>(module.entry);
    instance.pipl = module.pipl;
    return &instance;
}

varno::PluginInstance* LinkedPlugin() {
    static varno::PluginInstance instance;
    instance.entry = ENTRYPOINT;
    return &instance;
}

DriveC::DriveC() {
    static std::atomic<int> serial{0};
    temp_ = (std::filesystem::temp_directory_path() /
             ("varno-cli-" + std::to_string(varno::ProcessId()) + "-" + std::to_string(serial++)))
                .string();
    std::error_code error;
    std::filesystem::remove_all(temp_, error);
    std::filesystem::create_directories(temp_);
    PlatformPrepareDrive(temp_, &drive_);
}

DriveC::~DriveC() {
    PlatformCleanDrive(drive_);
    std::error_code error;
    std::filesystem::remove_all(temp_, error);
}

std::string DriveC::Path(const std::string& name) const { return drive_ + name; }

std::string DriveC::Temp(const std::string& name) const { return (std::filesystem::path(temp_) / name).string(); }

struct Watchdog::State {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread thread;
};

Watchdog::Watchdog(int seconds, std::string what) : state_(new State) {
    state_->thread = std::thread([state = state_, seconds, what = std::move(what)] {
        std::unique_lock<std::mutex> lock(state->mutex);
        if (state->done.wait_for(lock, std::chrono::seconds(seconds), [state] { return state->finished; })) return;
        std::fprintf(stderr, "still waiting after %d s: %s\n", seconds, what.c_str());
        std::fflush(stderr);
        std::_Exit(1);
    });
}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->finished = true;
    }
    state_->done.notify_one();
    state_->thread.join();
    delete state_;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

void Remove(const std::string& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
}

}  // namespace hosttest
