// The module of the process, watched runs and the package's exception.
#include "python/src/runs.h"

#include <dlfcn.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "base/workers.h"
#include "host/messages.h"
#include "host/platform.h"

namespace py = pybind11;

namespace varnopy {

namespace {

std::mutex& RunLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

int32_t loads = 0;

constexpr const char* kThreadsVariable = "VARNOCKETILE_THREADS";

// VARNOCKETILE_THREADS set to `threads` for the life of the object, then put back as it was.
struct ThreadsSetting {
    bool set = false;
    std::optional<std::string> saved;
    explicit ThreadsSetting(int32_t threads) {
        if (threads < 1) return;
        if (const char* value = std::getenv(kThreadsVariable)) saved = value;
        set = setenv(kThreadsVariable, std::to_string(threads).c_str(), 1) == 0;
    }
    ~ThreadsSetting() {
        if (!set) return;
        if (saved) setenv(kThreadsVariable, saved->c_str(), 1);
        else unsetenv(kThreadsVariable);
    }
    ThreadsSetting(const ThreadsSetting&) = delete;
    ThreadsSetting& operator=(const ThreadsSetting&) = delete;
};

// The errno whose text the readers and writers gave for a system failure, or 0 for a text of
// their own (not a picture, damaged, a limit). They report a missing file and a directory in
// words of their own, everything else with strerror.
int ReasonErrno(const std::string& reason) {
    if (reason == "file not found") return ENOENT;
    if (reason == "it is a directory") return EISDIR;
    static const int kCodes[] = {ENOENT, EACCES, EPERM, EISDIR, ENOTDIR, ENAMETOOLONG, ELOOP, EROFS, ENOSPC,
                                 EDQUOT, EEXIST, EBUSY, ETXTBSY, EIO, EMFILE, ENFILE, EXDEV, EINVAL, ENXIO};
    for (const int code : kCodes)
        if (reason == std::strerror(code)) return code;
    return 0;
}

// The directory this extension was loaded from, with a trailing slash.
std::string ExtensionDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&PluginLoads), &info) == 0 || !info.dli_fname) return "./";
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

}  // namespace

varno::PluginInstance* Plugin(std::string* error, std::string* warning) {
    // Never closed, as varno keeps it until it ends: the plug-in's block in the slot is its own.
    static varno::PluginModule module;
    static varno::PluginInstance plugin;
    if (plugin.entry) return &plugin;
    if (std::string failure = varno::OpenPluginModule(ExtensionDirectory() + "libvarnocketile.so", &module);
        !failure.empty()) {
        *error = "cannot load the plug-in: " + failure;
        return nullptr;
    }
    plugin.entry = reinterpret_cast<PluginEntryProc>(module.entry);
    plugin.pipl = module.pipl;  // the host honours what the PiPL enables, as varno does
    *warning = module.warning;
    ++loads;
    return &plugin;
}

int32_t PluginLoads(void) { return loads; }

void RunWatched(const std::function<void(const std::atomic<int>* stop)>& job, int32_t threads) {
    std::atomic<int> stop{0};
    PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
    {
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> serial(RunLock());
        const ThreadsSetting setting(threads);
        std::mutex lock;
        std::condition_variable finished;
        bool done = false;
        std::thread worker([&] {
            job(&stop);
            std::lock_guard<std::mutex> guard(lock);
            done = true;
            finished.notify_one();
        });
        std::unique_lock<std::mutex> waiting(lock);
        while (!finished.wait_for(waiting, std::chrono::milliseconds(10), [&] { return done; })) {
            if (type) continue;
            waiting.unlock();
            {
                // Signals are handled on the main thread only; elsewhere this returns 0.
                py::gil_scoped_acquire acquire;
                if (PyErr_CheckSignals() != 0) {
                    PyErr_Fetch(&type, &value, &trace);
                    stop = 1;
                }
            }
            waiting.lock();
        }
        waiting.unlock();
        worker.join();
    }
    if (type) {
        PyErr_Restore(type, value, trace);
        throw py::error_already_set();
    }
}

void CheckThreadsSetting(void) {
    const char* value = std::getenv(kThreadsVariable);
    if (!value || !*value || ParseThreadCount(value) > 0) return;
    throw py::value_error(std::string(kThreadsVariable) + " is '" + value +
                          "': a thread count is a whole number 1..64 (unset it for the default)");
}

void RaiseFileError(const char* verb, const std::string& path, const std::string& reason, const py::object& filename) {
    const int code = ReasonErrno(reason);
    if (code == 0) RaiseError(std::string("cannot ") + verb + " '" + path + "': " + reason);
    py::object error = py::reinterpret_borrow<py::object>(PyExc_OSError)(code, std::strerror(code), filename);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

void RaiseError(const std::string& message, std::optional<int> code) {
    py::object type = py::module_::import("varnocketile._errors").attr("VarnocketileError");
    py::object error = type(message, code ? py::object(py::int_(*code)) : py::object(py::none()));
    PyErr_SetObject(type.ptr(), error.ptr());
    throw py::error_already_set();
}

std::string ResultText(int16_t code, const std::string& reported) {
    return varno::ResultLine(code, reported).substr(7);
}

}  // namespace varnopy
