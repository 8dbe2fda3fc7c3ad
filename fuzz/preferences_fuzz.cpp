// The preferences load on any bytes as the file. The load must read nothing beyond its blocks,
// give the settings and slot texts the file layout says, release everything, and (for some
// inputs) a save followed by a load must give back the same settings and texts, with the new file
// complete and exactly as long as the layout (an older, longer file is cut to it).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "buffers/image_buffer.h"
#include "fuzz/fuzz_check.h"
#include "plugin/plugin.h"
#include "params/parameter_set.h"
#include "params/preferences.h"

namespace {

constexpr size_t kFile = 53248;
std::string preferences;


std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> bytes(2 * kFile);
    const int fd = open(path.c_str(), O_RDONLY);
    CHECK(fd >= 0);
    const ssize_t got = read(fd, bytes.data(), bytes.size());
    close(fd);
    CHECK(got >= 0);
    bytes.resize(size_t(got));
    return bytes;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    CHECK(fd >= 0 && write(fd, data, size) == ssize_t(size));
    close(fd);
}

// What the layout says slot k holds in a file of `size` bytes (empty when its record is cut off
// before its first byte).
std::string SlotText(const uint8_t* data, size_t size, int k) {
    const size_t at = 1024 * size_t(k + 1);
    std::string text;
    for (size_t i = at; i < size && i < at + 513 && data[i] != 0; ++i) text += char(data[i]);
    return text;
}

bool SameRun(const RunState& a, const RunState& b) {
    if (std::memcmp(a.settings, b.settings, sizeof a.settings) != 0) return false;
    for (int k = 0; k < kStringSlotCount; ++k)
        if (std::strcmp(GetStringSlot(&a, k), GetStringSlot(&b, k)) != 0) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* shm = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const std::string drive = std::string(shm) + "/varno-preferences-fuzz-" + std::to_string(getpid());
    std::string command = "mkdir -p '" + drive + "'";
    CHECK(std::system(command.c_str()) == 0);
    setenv("VARNO_DRIVE_C", drive.c_str(), 1);
    unsetenv("MORVELAN_PATH");
    preferences = drive + "/QUENpref.xxx";
    static std::string removal = "rm -rf '" + drive + "'";
    std::atexit([] { (void)!std::system(removal.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kFile + 2048) return -1;
    WriteFile(preferences, data, size);
    const LiveResources before = CountLiveResources();

    auto run = std::make_unique<RunState>();
    char path[kPathCapacity];
    FileHandle file = LoadPreferences(run.get(), path);
    CHECK(file != kNoFile);
    // The head always comes from the start of the file; the slots only after a whole head; the
    // tail from its place in a whole file.
    const size_t head = size < 1024 ? size : 1024;
    CHECK(std::memcmp(run->settings, data, head) == 0);
    for (size_t i = head; i < 1024; ++i) CHECK(run->settings[i] == 0);
    for (int k = 0; k < kStringSlotCount; ++k) CHECK(GetStringSlot(run.get(), k) == (size >= 1024 ? SlotText(data, size, k) : ""));
    if (size >= kFile) CHECK(std::memcmp(run->settings + 1024, data + 50176, 3072) == 0);
    FreeParameterSet(SeedParameters(run.get()));

    if (size == 0 || data[size - 1] % 16 != 0) {
        AbandonPreferences(run.get(), file);
        CHECK(ReadFile(preferences) == std::vector<uint8_t>(data, data + size));
    } else {
        RunState saved = *run;
        for (int k = 0; k < kStringSlotCount; ++k) {
            const char* text = GetStringSlot(run.get(), k);
            saved.stringSlots[k] = nullptr;
            SetStringSlot(&saved, k, text);
        }
        CHECK(SavePreferences(run.get(), path, file) == 0);
        const std::vector<uint8_t> bytes = ReadFile(preferences);
        // A longer file is cut to its layout.
        CHECK(bytes.size() == kFile);
        auto again = std::make_unique<RunState>();
        file = LoadPreferences(again.get(), path);
        // SeedParameters may have put the unit default into the settings that were saved.
        CHECK(SameRun(saved, *again));
        AbandonPreferences(again.get(), file);
        AbandonPreferences(&saved, kNoFile);
    }
    const LiveResources after = CountLiveResources();
    CHECK(after.memoryBlocks == before.memoryBlocks && after.pluginHandles == before.pluginHandles);
    return 0;
}
