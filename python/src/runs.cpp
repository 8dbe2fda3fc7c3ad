// The module of the process, watched runs and the package's exception.
#include "python/src/runs.h"

#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

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

void RunWatched(const std::function<void(const std::atomic<int>* stop)>& job) {
    std::atomic<int> stop{0};
    PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
    {
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> serial(RunLock());
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
