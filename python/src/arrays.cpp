// numpy arrays to and from the host's documents.
#include "python/src/arrays.h"

#include <cstring>

namespace py = pybind11;

namespace varnopy {

namespace {

int32_t ModeFor(const std::string& name, int32_t channels, bool sixteen) {
    int32_t mode = 0;
    if (name.empty()) {
        mode = channels == 1 ? 1 : channels == 3 ? 3 : 0;
        if (mode == 0)
            throw py::value_error(channels == 4 ? std::string("an HxWx4 image is CMYK only with mode='cmyk'")
                                                : "an image is HxW (grey) or HxWx3 (RGB), HxWx2 or HxWx4 with alpha, "
                                                  "not HxWx" + std::to_string(channels));
    } else if (name == "grey" || name == "gray") {
        mode = channels == 1 ? 1 : 0;
    } else if (name == "rgb") {
        mode = channels == 3 ? 3 : 0;
    } else if (name == "lab") {
        mode = channels == 3 ? 9 : 0;
    } else if (name == "cmyk") {
        mode = channels == 4 ? 4 : 0;
    } else {
        throw py::value_error("mode must be 'grey', 'rgb', 'cmyk' or 'lab', not '" + name + "'");
    }
    if (mode == 0)
        throw py::value_error("mode '" + name + "' does not take " + std::to_string(channels) + " channels");
    if (!sixteen) return mode;
    return mode == 1 ? 10 : mode == 3 ? 11 : mode == 9 ? 12 : 13;
}

ImageLayout Layout(const py::array& array, bool allowSixteen, const char* what) {
    ImageLayout layout;
    // By kind and size: a dtype of either byte order, or one carrying metadata, is still uint8 or
    // uint16 (NativeOrder has put the samples in this machine's order before).
    const py::dtype dtype = array.dtype();
    const bool eight = dtype.kind() == 'u' && dtype.itemsize() == 1;
    const bool sixteen = dtype.kind() == 'u' && dtype.itemsize() == 2;
    if (!eight && !(sixteen && allowSixteen))
        throw py::type_error(std::string(what) + " must be of dtype " + (allowSixteen ? "uint8 or uint16" : "uint8") +
                             ", not " + std::string(py::str(array.dtype())));
    if (array.ndim() != 2 && !(array.ndim() == 3 && allowSixteen))
        throw py::value_error(std::string(what) + " must be " + (allowSixteen ? "HxW or HxWxC" : "HxW") + ", not of " +
                              std::to_string(array.ndim()) + " dimensions");
    layout.data = static_cast<const char*>(array.data());
    layout.height = int32_t(std::min<py::ssize_t>(array.shape(0), 1 << 30));
    layout.width = int32_t(std::min<py::ssize_t>(array.shape(1), 1 << 30));
    layout.channels = array.ndim() == 3 ? int32_t(std::min<py::ssize_t>(array.shape(2), 1 << 30)) : 1;
    layout.sampleBytes = sixteen ? 2 : 1;
    for (py::ssize_t i = 0; i < array.ndim(); ++i) layout.strides[i] = array.strides(i);
    if (layout.height < 1 || layout.width < 1 || layout.height > varno::kMaxDocumentSide ||
        layout.width > varno::kMaxDocumentSide)
        throw py::value_error(std::string(what) + " is " + std::to_string(array.shape(1)) + "x" +
                              std::to_string(array.shape(0)) + "; each side must be 1.." +
                              std::to_string(varno::kMaxDocumentSide) + " pixels");
    return layout;
}

// The array itself, or a copy in this machine's byte order when its samples are stored in the
// other one.
py::array NativeOrder(const py::array& array) {
    const py::dtype dtype = array.dtype();
    if (dtype.kind() != 'u' || dtype.itemsize() != 2 || py::bool_(dtype.attr("isnative"))) return array;
    return array.attr("astype")(dtype.attr("newbyteorder")("="));
}

}  // namespace

ImageLayout CheckImage(py::array* image, const std::string& mode) {
    *image = NativeOrder(*image);
    ImageLayout layout = Layout(*image, true, "image");
    layout.mode = ModeFor(mode, layout.channels, layout.sampleBytes == 2);
    return layout;
}

ImageLayout CheckSelection(const py::array& selection, const ImageLayout& image) {
    ImageLayout layout = Layout(selection, false, "selection");
    if (layout.width != image.width || layout.height != image.height)
        throw py::value_error("the selection is " + std::to_string(layout.width) + "x" + std::to_string(layout.height) +
                              ", the image " + std::to_string(image.width) + "x" + std::to_string(image.height));
    return layout;
}

void ViewDocument(const ImageLayout& image, varno::Document* document) {
    varno::SampleView view;
    view.data = reinterpret_cast<const uint8_t*>(image.data);
    view.channels = image.channels;
    view.rowBytes = image.strides[0];
    view.columnBytes = image.strides[1];
    view.channelBytes = image.channels > 1 ? image.strides[2] : 0;
    std::string error;
    // The shape was checked before; a refusal here is the host's own limit.
    if (!varno::MakeDocumentView(image.mode, image.width, image.height, view, document, &error))
        throw std::runtime_error(error);
}

std::vector<uint8_t> CopyPlane(const ImageLayout& plane) {
    std::vector<uint8_t> copy;
    copy.reserve(size_t(plane.width) * size_t(plane.height));
    for (int32_t y = 0; y < plane.height; ++y) {
        const char* row = plane.data + ptrdiff_t(y) * plane.strides[0];
        if (plane.strides[1] == 1) {
            copy.insert(copy.end(), row, row + plane.width);
            continue;
        }
        for (int32_t x = 0; x < plane.width; ++x) copy.push_back(uint8_t(row[ptrdiff_t(x) * plane.strides[1]]));
    }
    return copy;
}

py::array PlaneArray(std::vector<uint8_t>&& plane, int32_t height, int32_t width) {
    auto* owned = new std::vector<uint8_t>(std::move(plane));
    py::capsule release(owned, [](void* p) { delete static_cast<std::vector<uint8_t>*>(p); });
    return py::array_t<uint8_t>({py::ssize_t(height), py::ssize_t(width)}, owned->data(), release);
}

namespace {

template <typename T>
py::array Interleaved(std::vector<std::vector<T>>& planes, int32_t height, int32_t width) {
    const size_t channels = planes.size(), count = size_t(width) * size_t(height);
    if (channels == 1) {
        auto* owned = new std::vector<T>(std::move(planes[0]));
        py::capsule release(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
        return py::array_t<T>({py::ssize_t(height), py::ssize_t(width)}, owned->data(), release);
    }
    py::array_t<T> array({py::ssize_t(height), py::ssize_t(width), py::ssize_t(channels)});
    T* out = array.mutable_data();
    for (size_t c = 0; c < channels; ++c) {
        const T* plane = planes[c].data();
        for (size_t i = 0; i < count; ++i) out[i * channels + c] = plane[i];
        std::vector<T>().swap(planes[c]);
    }
    return array;
}

}  // namespace

py::array DocumentArray(varno::Document&& document) {
    return document.depth == 16 ? Interleaved(document.channels16, document.height, document.width)
                                : Interleaved(document.channels8, document.height, document.width);
}

std::string ModeName(int32_t mode) {
    switch (mode) {
        case 1: case 10: return "grey";
        case 3: case 11: return "rgb";
        case 4: case 13: return "cmyk";
        case 9: case 12: return "lab";
        default: return "mode " + std::to_string(mode);
    }
}

}  // namespace varnopy
