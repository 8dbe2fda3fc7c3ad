// numpy arrays to and from the host's documents.
//
// Contract: CheckImage accepts an image of dtype uint8 or uint16 (of either byte order, with or
// without metadata: an image in the other byte order is replaced by a copy in this machine's;
// TypeError for any other dtype) shaped HxW (grey), HxWx3 (RGB, or Lab with mode "lab") or HxWx4 (CMYK with mode
// "cmyk"), with any strides, sides 1..32767 (ValueError otherwise, also for a mode that does not
// fit the shape), and describes it in an ImageLayout that holds no Python object, so that the
// run that reads it can go without the GIL. The samples are taken as they are,
// in the API's conventions: CMYK with 255 (65535) meaning no ink, Lab with a and b centred on 128
// (32768), as read() hands them out. CheckSelection accepts an HxW uint8 plane of the image's size.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>

#include "images/document.h"

namespace varnopy {

struct ImageLayout {
    const char* data = nullptr;
    int32_t mode = 0;  // the API's image mode
    int32_t height = 0, width = 0, channels = 0;
    int32_t sampleBytes = 1;
    ptrdiff_t strides[3] = {};  // in bytes, as numpy keeps them
};

ImageLayout CheckImage(pybind11::array* image, const std::string& mode);
ImageLayout CheckSelection(const pybind11::array& selection, const ImageLayout& image);

// The document for an image, reading the array's samples in place (no copy; the array must be
// held while the document is in use), and a copy of a selection plane (the document owns its
// selection). Need no GIL.
void ViewDocument(const ImageLayout& image, varno::Document* document);
std::vector<uint8_t> CopyPlane(const ImageLayout& plane);

// A plane handed to numpy without a copy (the array owns it from now on).
pybind11::array PlaneArray(std::vector<uint8_t>&& plane, int32_t height, int32_t width);
// A document as numpy holds a picture: HxW for one channel, else HxWxC interleaved, at the
// document's depth.
pybind11::array DocumentArray(varno::Document&& document);
// The name of a document's mode for Python: "grey", "rgb", "cmyk" or "lab".
std::string ModeName(int32_t mode);

}  // namespace varnopy
