// The temporary-file registry behind every output of the host library.
#include "images/output_files.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
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

// The temporary file beside `destination`: its name with ".varno-PID-SERIAL.tmp" after it (the
// process id keeps concurrent programs apart, the serial two outputs of one program). Where that
// would be longer than a name or a path may be, the destination's name is cut short so that the
// temporary path is no longer than the destination's: a name that fits fits its temporary file.
std::string TemporaryPath(const std::string& destination) {
    namespace fs = std::filesystem;
    const std::string suffix = ".varno-" + std::to_string(ProcessId()) + "-" + std::to_string(++serial) + ".tmp";
    const bool windows = fs::path::preferred_separator != '/';
    const size_t start = destination.find_last_of(windows ? "/\\:" : "/") + 1;  // npos + 1: no directory
    const NameLimits limits = FileNameLimits(start == 0 ? "." : destination.substr(0, start));
    size_t kept = destination.size() - start;
    if (kept + suffix.size() > limits.name || destination.size() + suffix.size() > limits.path) {
        kept = kept > suffix.size() ? kept - suffix.size() : 0;
        // Never half a character of a UTF-8 name.
        while (kept > 0 && (uint8_t(destination[start + kept]) & 0xC0) == 0x80) --kept;
    }
    return destination.substr(0, start + kept) + suffix;
}

}  // namespace

std::string CheckPathName(const std::string& path) {
    return path.find('\0') == std::string::npos ? std::string() : "the name holds a NUL character";
}

std::string FileIdentity(const std::string& path) {
    namespace fs = std::filesystem;
    if (!CheckPathName(path).empty()) return "name " + path;
    if (std::string id = ExistingFileId(path); !id.empty()) return "file " + id;
    const std::string target = LinkTarget(path);
    std::error_code error;
    fs::path name = fs::absolute(target, error);
    if (!error) name = fs::weakly_canonical(name, error);
    return "name " + (error ? target : name.lexically_normal().string());
}

std::string LinkTarget(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path at = path;
    std::error_code error;
    // A bounded chain: a loop of links ends at one of them, whose opening then fails.
    for (int i = 0; i < 40 && fs::is_symlink(fs::symlink_status(at, error)); ++i) {
        const fs::path next = fs::read_symlink(at, error);
        if (error) break;
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return at.string();
}

std::string CheckOutputPath(const std::string& path) {
    namespace fs = std::filesystem;
    if (std::string refusal = CheckPathName(path); !refusal.empty()) return refusal;
    const std::string target = LinkTarget(path);
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if (fs::exists(status)) {
        if (fs::is_directory(status)) return "it is a directory";
        if (!fs::is_regular_file(status)) return "it is not a regular file (a FIFO, device or socket)";
        constexpr fs::perms kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        if ((status.permissions() & kWrite) == fs::perms::none) return "the file is read-only";
    }
    fs::path directory = fs::path(target).parent_path();
    if (directory.empty()) directory = ".";
    if (!fs::is_directory(directory, error)) return "there is no directory '" + directory.string() + "'";
    OutputFile trial;
    if (std::string failure = BeginOutput(target, &trial); !failure.empty()) return failure;
    AbandonOutput(&trial);
    return {};
}

std::string BeginOutput(const std::string& path, OutputFile* output) {
    *output = OutputFile();
    if (std::string refusal = CheckPathName(path); !refusal.empty()) return refusal;
    const std::string destination = LinkTarget(path);
    const std::string temporary = TemporaryPath(destination);
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

std::string WriteStandardOutput(const std::vector<uint8_t>& bytes) {
    {
        Registry& registry = TheRegistry();
        std::lock_guard<std::mutex> guard(registry.lock);
        if (registry.stopped) return kInterrupted;
    }
    if (!StandardStreamOpen(stdout)) return "it is closed";
    PrepareStandardStream(stdout);
    errno = 0;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    if (std::fflush(stdout) == 0 && written && !std::ferror(stdout)) return {};
    return errno ? std::strerror(errno) : "write error";
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
