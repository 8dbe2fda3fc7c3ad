// The extension's side of a run: the one plug-in module of the process, runs watched for Ctrl-C
// with the GIL released, and failures raised as Python exceptions.
//
// Contract: Plugin() loads libvarnocketile.so from the extension's own directory through its entry
// point, the first time it is asked for, and keeps it for the life of the process (a host keeps a
// module's slot between calls). RunWatched runs `job` on a thread of its own, one job of the
// process at a time (the host library is not reentrant, and the plug-in holds its preferences
// locked during a run), while the calling thread, without the GIL, waits for it and looks for
// Python's pending signals every few milliseconds: a KeyboardInterrupt (or whatever a signal
// handler raised) sets the job's stop flag, which the plug-in's abort test answers, and is raised
// once the job has returned. `job` must not touch Python objects nor throw. With `threads` 1..64
// the job runs with VARNOCKETILE_THREADS set to it in the process environment (where the plug-in
// and the methods read it), put back as it was once the job has returned; 0 leaves it alone.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "host/run.h"

namespace varnopy {

// The loaded module, or nullptr with the reason in `error`. Only within a RunWatched job. The load
// that made it leaves what the host could not prepare (see OpenPluginModule) in `warning`.
varno::PluginInstance* Plugin(std::string* error, std::string* warning);
// How many times this process loaded the module (0 or 1).
int32_t PluginLoads(void);

void RunWatched(const std::function<void(const std::atomic<int>* stop)>& job, int32_t threads = 0);

// Raises ValueError when VARNOCKETILE_THREADS is set (not empty) to something the plug-in would
// not take as a thread count (it would quietly use its default instead). Needs the GIL.
void CheckThreadsSetting(void);

// Raises varnocketile.VarnocketileError(message, code); code none for failures that have no
// result code (files that cannot be read or written, a module that cannot be loaded).
[[noreturn]] void RaiseError(const std::string& message, std::optional<int> code = std::nullopt);
// A file that cannot be read or written: `reason` is the readers' or writers' text for it. A
// failure of the system's with an errno of its own raises the matching OSError subclass
// (FileNotFoundError, PermissionError, IsADirectoryError, ...) with errno, the system's text and
// `filename` (the caller's path object); any other (not a picture, damaged, a limit) VarnocketileError("cannot
// VERB 'path': reason") with no code.
[[noreturn]] void RaiseFileError(const char* verb, const std::string& path, const std::string& reason,
                                 const pybind11::object& filename);
// The line varno prints for a result code, without its "varno: ".
std::string ResultText(int16_t code, const std::string& reported = {});

}  // namespace varnopy
