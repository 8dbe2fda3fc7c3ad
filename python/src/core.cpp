// varnocketile._core: the extension behind the varnocketile package (see varnocketile/__init__.py
// for the documented API; these are its building blocks, with their arguments already checked
// there except the arrays, which are checked here before anything runs).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <mutex>

#include "base/progress.h"
#include "base/results.h"
#include "base/workers.h"
#include "buffers/colour.h"
#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "host/actions.h"
#include "host/combine.h"
#include "host/run.h"
#include "images/images.h"
#include "params/edge_table.h"
#include "params/run_files.h"
#include "python/src/arrays.h"
#include "python/src/runs.h"

namespace py = pybind11;

namespace varnopy {

namespace {

// The wall time of the last RunPlugin call (About and Execute through the host), for the benchmark.
double lastRunSeconds = 0.0;

// The preferences file and run log around one run: a run that the caller sees fail afterwards
// (KeyboardInterrupt, its selection not written) takes back what it did to them.
struct NotedRun {
    RunFileNotes notes = {};
    bool ran = false;
    ~NotedRun() { ReleaseRunFileNotes(&notes); }
    void TakeBack() {
        if (ran) PutBackPreferences(&notes), CutRunRecord(&notes);
        ran = false;
    }
};

// Held from before a run until its picture is done, so that no other run of the process comes in
// between a run and what takes it back.
std::mutex& PictureLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::unique_lock<std::mutex> TakePictureLock() {
    std::unique_lock<std::mutex> lock(PictureLock(), std::defer_lock);
    py::gil_scoped_release release;
    lock.lock();
    return lock;
}

int32_t Stopped(void* stop) { return static_cast<const std::atomic<int>*>(stop)->load() != 0 ? 1 : 0; }

// One run of the plug-in on a document, playing back `method` and `radius` with the dialog
// suppressed, as `varno select -m METHOD -r RADIUS` does, on `threads` threads (0: as the
// environment says). 0 on success (the new selection, combined with the current one as `combine`
// says, is then the document's), else the code with its text in `line`. A preferences file another
// program holds gives a RuntimeWarning, as varno's warning.
int16_t RunSelect(varno::Document* document, int32_t method, int32_t radius, std::string* line, NotedRun* files,
                  varno::SelectionCombine combine = varno::SelectionCombine::kReplace, int32_t threads = 0) {
    varno::RunOptions options;
    options.combine = combine;
    varno::PutEdgeChoice(&options.descriptor, method, radius);
    options.playDescriptor = true;
    varno::RunReport report;
    std::string loadError, loadWarning;
    try {
        RunWatched([&](const std::atomic<int>* stop) {
            options.interrupt = stop;
            varno::PluginInstance* plugin = Plugin(&loadError, &loadWarning);
            if (!plugin) return;
            NoteFilesBeforeRun(&files->notes, Stopped, const_cast<std::atomic<int>*>(stop));
            const auto start = std::chrono::steady_clock::now();
            varno::RunPlugin(plugin, document, options, &report);
            lastRunSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (report.aboutResult == 0 && report.result == 0) NoteFilesAfterRun(&files->notes), files->ran = true;
        }, threads);
    } catch (...) {
        files->TakeBack();
        throw;
    }
    if (!loadError.empty()) RaiseError(loadError);
    if (!loadWarning.empty() && PyErr_WarnEx(PyExc_RuntimeWarning, loadWarning.c_str(), 1) != 0) {
        files->TakeBack();
        throw py::error_already_set();
    }
    const int16_t code = report.aboutResult != 0 ? report.aboutResult : report.result;
    if (code != 0) *line = ResultText(code, report.aboutResult != 0 ? std::string() : report.errorString);
    if (code == 0 && files->notes.busy && PyErr_WarnEx(PyExc_RuntimeWarning, kDefaultsUsedWarning, 1) != 0) {
        files->TakeBack();
        throw py::error_already_set();
    }
    return code;
}

py::array Select(py::array image, int32_t method, int32_t radius, const py::object& selection,
                 const std::string& mode, const std::string& combineName, int32_t threads) {
    varno::SelectionCombine combine;
    if (!varno::SelectionCombineFromText(combineName.c_str(), &combine))
        throw py::value_error("combine must be one of replace, add, subtract, intersect, not '" + combineName + "'");
    if (threads == 0) CheckThreadsSetting();
    const ImageLayout layout = CheckImage(&image, mode);
    ImageLayout selectionLayout;
    if (!selection.is_none()) selectionLayout = CheckSelection(py::cast<py::array>(selection), layout);
    varno::Document document;
    std::string error;
    ViewDocument(layout, &document);
    if (selectionLayout.data) {
        py::gil_scoped_release release;
        if (!varno::SetSelection(&document, CopyPlane(selectionLayout), &error)) throw std::runtime_error(error);
    }
    std::string line;
    const std::unique_lock<std::mutex> picture = TakePictureLock();
    NotedRun files;
    if (const int16_t code = RunSelect(&document, method, radius, &line, &files, combine, threads); code != 0)
        RaiseError(line, code);
    return PlaneArray(std::move(document.selection), document.height, document.width);
}

// One picture of select_files, as a picture of a varno batch: read, run, write whole. Raises with
// the line varno prints for the picture (without "varno: ").
void SelectFile(const std::string& input, const std::string& output, int32_t method, int32_t radius) {
    varno::Document document;
    std::string error;
    {
        py::gil_scoped_release release;
        error = varno::ReadImageFile(input, &document);
    }
    if (!error.empty()) RaiseError("cannot read '" + input + "': " + error);
    std::string line;
    const std::unique_lock<std::mutex> picture = TakePictureLock();
    NotedRun files;
    if (const int16_t code = RunSelect(&document, method, radius, &line, &files); code != 0)
        RaiseError("'" + input + "': " + line, code);
    {
        py::gil_scoped_release release;
        std::vector<std::vector<uint8_t>>().swap(document.channels8);
        std::vector<std::vector<uint16_t>>().swap(document.channels16);
        std::vector<uint8_t> bytes;
        error = varno::EncodeImage(output, document.width, document.height, 1, document.selection.data(), &bytes);
        if (error.empty()) error = varno::WriteFileAtomically(output, bytes);
        if (!error.empty()) files.TakeBack();
    }
    if (!error.empty()) RaiseError("cannot write '" + output + "': " + error);
}

int32_t StopAsked(void* context) { return static_cast<const std::atomic<int>*>(context)->load() != 0 ? 1 : 0; }

// The document as the methods take it, as varno edges makes it: 8-bit grey, or interleaved 8-bit
// RGB for every colour mode (CMYK and Lab through the plug-in's own conversions).
void MethodPixels(const varno::Document& document, uint8_t* pixels) {
    const size_t count = size_t(document.width) * size_t(document.height);
    auto sample = [&](size_t c, size_t i) { return varno::Sample8At(document, c, i); };
    const bool grey = ChannelCount(document) == 1;
    for (size_t i = 0; i < count; ++i) {
        if (grey) {
            pixels[i] = sample(0, i);
            continue;
        }
        uint8_t* rgb = pixels + 3 * i;
        if (document.mode == 4 || document.mode == 13)
            ConvertCmykPixel(sample(0, i), sample(1, i), sample(2, i), sample(3, i), rgb);
        else if (document.mode == 9 || document.mode == 12)
            ConvertLabPixel(sample(0, i), sample(1, i), sample(2, i), rgb);
        else
            rgb[0] = sample(0, i), rgb[1] = sample(1, i), rgb[2] = sample(2, i);
    }
}

py::array Edges(py::array image, int32_t method, int32_t radius, const std::string& mode, int32_t threads) {
    if (threads == 0) CheckThreadsSetting();
    const ImageLayout layout = CheckImage(&image, mode);
    const int32_t planes = layout.channels == 1 ? 1 : 3;
    py::array_t<uint8_t> result = planes == 1 ? py::array_t<uint8_t>({layout.height, layout.width})
                                              : py::array_t<uint8_t>({layout.height, layout.width, 3});
    uint8_t* pixels = result.mutable_data();
    varno::Document document;
    ViewDocument(layout, &document);
    int16_t code = kNoErr;
    RunWatched([&](const std::atomic<int>* stop) {
        MethodPixels(document, pixels);
        document = varno::Document();
        const size_t rowBytes = size_t(layout.width) * size_t(planes);
        ImageBuffer* buffer = nullptr;
        code = CreateImageBuffer("varnocketile edges", layout.width, layout.height, planes, &buffer);
        if (code == kNoErr && (!buffer || !buffer->mapped)) code = kErrOutOfMemory;
        if (code == kNoErr) {
            for (int32_t row = 0; row < layout.height; ++row)
                WriteBufferRow(buffer, 0, row, int32_t(rowBytes), pixels + size_t(row) * rowBytes);
            const ProgressPair progress = {nullptr, StopAsked, const_cast<std::atomic<int>*>(stop)};
            code = RunEdgeMethod(method, radius, buffer, &progress, 1);
        }
        if (code == kNoErr)
            for (int32_t row = 0; row < layout.height; ++row)
                ReadBufferRow(buffer, 0, row, int32_t(rowBytes), pixels + size_t(row) * rowBytes);
        if (buffer) DisposeImageBuffer(buffer);
    }, threads);
    if (code != kNoErr) RaiseError(ResultText(code), code);
    return result;
}

py::tuple Read(const py::object& name) {
    const std::string path = py::cast<std::string>(name);
    varno::Document document;
    std::string error;
    {
        py::gil_scoped_release release;
        error = varno::ReadImageFile(path, &document);
    }
    if (!error.empty()) RaiseFileError("read", path, error, name);
    const std::string mode = ModeName(document.mode);
    return py::make_tuple(DocumentArray(std::move(document)), mode);
}

void Write(const py::object& name, py::array image) {
    const std::string path = py::cast<std::string>(name);
    const ImageLayout layout = CheckImage(&image, "");
    if (layout.sampleBytes != 1) throw py::type_error("write takes 8-bit pictures (dtype uint8)");
    const py::array_t<uint8_t, py::array::c_style | py::array::forcecast> packed(image);
    const uint8_t* pixels = packed.data();
    std::string error;
    {
        py::gil_scoped_release release;
        std::vector<uint8_t> bytes;
        error = varno::EncodeImage(path, layout.width, layout.height, layout.channels, pixels, &bytes);
        if (error.empty()) error = varno::WriteFileAtomically(path, bytes);
    }
    if (!error.empty()) RaiseFileError("write", path, error, name);
}

}  // namespace

}  // namespace varnopy

PYBIND11_MODULE(_core, m) {
    using namespace varnopy;
    m.doc() = "The extension behind varnocketile; use the package's functions.";
    m.def("select", &Select, py::arg("image"), py::arg("method"), py::arg("radius"), py::arg("selection"),
          py::arg("mode"), py::arg("combine"), py::arg("threads"));
    m.def("edges", &Edges, py::arg("image"), py::arg("method"), py::arg("radius"), py::arg("mode"), py::arg("threads"));
    m.def("select_file", &SelectFile, py::arg("input"), py::arg("output"), py::arg("method"), py::arg("radius"));
    m.def("read", &Read, py::arg("path"));
    m.def("write", &Write, py::arg("path"), py::arg("image"));
    m.def("parse_method", [](const std::string& text) { return EdgeMethodFromText(text.c_str()); });
    // The edge parameter table, so that the Python layer checks and names what the plug-in does.
    py::list names;
    for (const EdgeMethodEntry& entry : kEdgeMethods) names.append(entry.shortName);
    m.attr("METHOD_NAMES") = py::tuple(names);
    m.attr("METHOD_RANGE") = py::make_tuple(int(kEdgeMethodFirst), int(kEdgeMethodLast));
    m.attr("RADIUS_RANGE") = py::make_tuple(int(kEdgeRadiusMin), int(kEdgeRadiusMax));
    m.attr("THREADS_RANGE") = py::make_tuple(1, int(kMaxThreads));
    py::list combineNames;
    for (const char* name : varno::kSelectionCombineNames) combineNames.append(name);
    m.attr("COMBINE_NAMES") = py::tuple(combineNames);
    m.attr("VERSION") = VARNO_VERSION;  // the project's, as varno --version prints it
    m.def("plugin_loads", &PluginLoads);
    m.def("last_run_seconds", [] { return lastRunSeconds; });
}
