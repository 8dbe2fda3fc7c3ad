// The temporary-file registry behind every output of the host library.
#include "images/output_files.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>

#include "images/system.h"

namespace varno {

namespace {

constexpr const char* kInterrupted = "interrupted";

struct Registry {
    std::mutex lock;
    std::set<std::string> temporaries;
    bool stopped = false;
};

// Never destroyed: a stop may arrive while the program is already ending.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

std::atomic<uint32_t> serial{0};

}  // namespace

std::string BeginOutput(const std::string& destination, OutputFile* output) {
    *output = OutputFile();
    // The process id keeps concurrent programs apart, the serial two outputs of one program.
    const std::string temporary =
        destination + ".varno-" + std::to_string(ProcessId()) + "-" + std::to_string(++serial) + ".tmp";
    Registry& registry = TheRegistry();
    // Registered and created under the lock, so that StopOutputs sees every file that exists.
    std::lock_guard<std::mutex> guard(registry.lock);
    if (registry.stopped) return kInterrupted;
    std::string error;
    std::FILE* file = CreateNewFile(temporary, &error);
    if (!file) return error;
    registry.temporaries.insert(temporary);
    output->file = file;
    output->temporary = temporary;
    output->destination = destination;
    return {};
}

std::string CommitOutput(OutputFile* output) {
    if (!output->file) return "no output open";
    const int flushError = std::fflush(output->file) == 0 ? 0 : errno;
    const bool failed = std::ferror(output->file) != 0 || flushError != 0;
    const int closeError = std::fclose(output->file) == 0 ? 0 : errno;
    output->file = nullptr;
    Registry& registry = TheRegistry();
    std::string error;
    {
        std::lock_guard<std::mutex> guard(registry.lock);
        if (registry.stopped) {
            error = kInterrupted;
        } else if (failed || closeError) {
            const int code = flushError ? flushError : closeError;
            error = code ? std::strerror(code) : "write error";
        } else {
            error = RenameOver(output->temporary, output->destination);
        }
        if (!error.empty()) RemoveFile(output->temporary);
        registry.temporaries.erase(output->temporary);
    }
    *output = OutputFile();
    return error;
}

void AbandonOutput(OutputFile* output) {
    if (output->file) std::fclose(output->file);
    if (!output->temporary.empty()) {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> guard(registry.lock);
        RemoveFile(output->temporary);
        registry.temporaries.erase(output->temporary);
    }
    *output = OutputFile();
}

std::string WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    OutputFile output;
    if (std::string error = BeginOutput(path, &output); !error.empty()) return error;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), output.file) != bytes.size()) {
        const int code = errno;
        AbandonOutput(&output);
        return code ? std::strerror(code) : "write error";
    }
    return CommitOutput(&output);
}

int32_t StopOutputs(void) {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.stopped = true;
    int32_t removed = 0;
    for (const std::string& temporary : registry.temporaries) removed += RemoveFile(temporary) ? 1 : 0;
    registry.temporaries.clear();
    return removed;
}

}  // namespace varno
