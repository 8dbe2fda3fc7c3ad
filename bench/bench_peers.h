// The picture every benchmark works on, and the peer operations of another image library that
// the methods are compared with.
//
// Contract: a BenchPicture is made once per run: `rgb` holds interleaved R, G, B bytes and `grey`
// one byte per pixel, row after row without padding, width x height pixels; `name` tells the
// pictures apart ("photos", "generated"). Each peer reads the picture and writes results of its
// own (the picture itself is never changed) and runs on one thread, except the threaded ones. RegisterPeerBenchmark
// registers the peer `key` on the RGB picture or its grey version as the benchmark
// "KEY/NAME-rgb" or "KEY/NAME-grey", timed in wall-clock time, and reports whether this build has
// that peer for that picture; a build without the peer library has none.
// PeerLibrary names the library and its version, or is empty without one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnobench {

struct BenchPicture {
    std::string name;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
    std::vector<uint8_t> grey;
};

bool RegisterPeerBenchmark(const std::string& key, const BenchPicture* picture, bool grey);
// The same peer at the library's default thread count ("KEY_threads/NAME-rgb"), and that count.
bool RegisterThreadedPeerBenchmark(const std::string& key, const BenchPicture* picture, bool grey);
int32_t PeerDefaultThreads();
// The file peer "cv_jpeg_grey_png": reads the JPEG `input`, converts it to grey and writes that as
// the PNG `output` (the library's default, fastest PNG settings), timed in wall-clock time.
bool RegisterFilePeerBenchmark(const std::string& input, const std::string& output);
std::string PeerLibrary();

}  // namespace varnobench
