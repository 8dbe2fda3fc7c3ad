// The peer operations from OpenCV, each the closest counterpart in that library of one method or
// of the whole run, set to one thread. Borders repeat the outermost pixels, as the methods do.
//
//   cv_sobel_magnitude     Sobel x and y of every channel in float, their magnitude, and the
//                          inverted 8-bit picture (Traditional)
//   cv_canny               grey conversion (RGB only) and Canny (Skinny lines)
//   cv_ycrcb_round_trip    RGB -> YCrCb -> RGB (Smoother: brightness and colour differences out
//                          and back; RGB only)
//   cv_frei_chen           float grey picture, nine 3x3 Frei-Chen masks by filter2D, the edge and
//                          total energies, their ratio, a square root and an arc tangent per
//                          pixel, back to 8 bits (Fine detail)
//   cv_filter2d_3x3/5x5/7x7  one filter2D of that size on the 8-bit picture (Variable width at
//                          radius 1, 2, 3)
//   cv_jpeg_grey_png       imread of a JPEG, grey conversion, imwrite of that as PNG (varno
//                          select on a JPEG, writing its selection as PNG)
//   cv_smoother_composite  RGB -> YCrCb, three 3x3 directional filter2D passes on Y in 16 bits,
//                          the largest absolute response as the inverted brightness, back to RGB
//                          (the whole run with Smoother)
//   cv_variable_composite  grey conversion (RGB only), 64-bit floats, a 7x7 filter2D and its
//                          transpose, their magnitude, its largest value, and the picture
//                          normalised to it, inverted, in 8 bits (the whole run with Variable
//                          width at radius 3)
#include <benchmark/benchmark.h>

#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/bench_peers.h"

namespace varnobench {

namespace {

// Results and intermediate pictures of one peer, kept across iterations so that OpenCV reuses
// them, as a caller that runs the operation repeatedly would.
struct Work {
    cv::Mat grey, wide, ycc, luma, energy, total, ratio, angle, ones, out;
    cv::Mat responses[9];
    cv::Mat masks[9];
    cv::Mat directions[3];
    cv::Mat square, squareDown, squareWide, squareDownWide;
};

void MakeKernels(Work* work, int size) {
    const float r2 = std::sqrt(2.0f);
    const float edge = 1.0f / (2.0f * r2);
    const float masks[9][9] = {
        {1, r2, 1, 0, 0, 0, -1, -r2, -1},  {1, 0, -1, r2, 0, -r2, 1, 0, -1},  {0, -1, r2, 1, 0, -1, -r2, 1, 0},
        {r2, -1, 0, -1, 0, 1, 0, 1, -r2},  {0, 1, 0, -1, 0, -1, 0, 1, 0},     {-1, 0, 1, 0, 0, 0, 1, 0, -1},
        {1, -2, 1, -2, 4, -2, 1, -2, 1},   {-2, 1, -2, 1, 4, 1, -2, 1, -2},   {1, 1, 1, 1, 1, 1, 1, 1, 1},
    };
    const float scales[9] = {edge, edge, edge, edge, 0.5f, 0.5f, 1.0f / 6, 1.0f / 6, 1.0f / 3};
    for (int m = 0; m < 9; ++m) work->masks[m] = cv::Mat(3, 3, CV_32F, const_cast<float*>(masks[m])).clone() * scales[m];
    const float directions[3][9] = {
        {-1, 0, 1, -2, 0, 2, -1, 0, 1},   // horizontal
        {-2, -1, 0, -1, 0, 1, 0, 1, 2},   // diagonal
        {-1, -2, -1, 0, 0, 0, 1, 2, 1},   // vertical
    };
    for (int d = 0; d < 3; ++d) work->directions[d] = cv::Mat(3, 3, CV_32F, const_cast<float*>(directions[d])).clone();
    // A weighted horizontal gradient reaching size / 2 pixels, normalised to keep bytes in range.
    const int reach = size / 2;
    work->square = cv::Mat(size, size, CV_32F);
    float sum = 0;
    for (int i = 0; i < size; ++i)
        for (int j = 0; j < size; ++j) {
            const float weight = float(j - reach) * float(reach + 1 - std::abs(i - reach));
            work->square.at<float>(i, j) = weight;
            sum += std::abs(weight);
        }
    work->square /= sum;
    work->squareDown = work->square.t();
    work->square.convertTo(work->squareWide, CV_64F);
    work->squareDown.convertTo(work->squareDownWide, CV_64F);
}

void SobelMagnitude(const cv::Mat& source, bool, Work* w) {
    cv::Sobel(source, w->responses[0], CV_32F, 1, 0, 3, 1.0, 0.0, cv::BORDER_REPLICATE);
    cv::Sobel(source, w->responses[1], CV_32F, 0, 1, 3, 1.0, 0.0, cv::BORDER_REPLICATE);
    cv::magnitude(w->responses[0].reshape(1), w->responses[1].reshape(1), w->energy);
    w->energy.convertTo(w->out, CV_8U, -1.0 / std::sqrt(5.0), 255.0);
}

void Canny(const cv::Mat& source, bool grey, Work* w) {
    if (!grey) cv::cvtColor(source, w->grey, cv::COLOR_RGB2GRAY);
    cv::Canny(grey ? source : w->grey, w->out, 50, 150, 3, false);
}

void YCrCbRoundTrip(const cv::Mat& source, bool, Work* w) {
    cv::cvtColor(source, w->ycc, cv::COLOR_RGB2YCrCb);
    cv::cvtColor(w->ycc, w->out, cv::COLOR_YCrCb2RGB);
}

void FreiChen(const cv::Mat& source, bool grey, Work* w) {
    if (!grey) cv::cvtColor(source, w->grey, cv::COLOR_RGB2GRAY);
    (grey ? source : w->grey).convertTo(w->wide, CV_32F);
    for (int m = 0; m < 9; ++m)
        cv::filter2D(w->wide, w->responses[m], CV_32F, w->masks[m], cv::Point(-1, -1), 0.0, cv::BORDER_REPLICATE);
    w->energy.create(w->wide.size(), CV_32F);
    w->energy.setTo(0);
    cv::accumulateSquare(w->responses[0], w->energy);
    cv::accumulateSquare(w->responses[1], w->energy);
    w->energy.copyTo(w->total);
    for (int m = 2; m < 9; ++m) cv::accumulateSquare(w->responses[m], w->total);
    cv::divide(w->energy, w->total, w->ratio);
    cv::sqrt(w->ratio, w->ratio);
    if (w->ones.size() != w->ratio.size()) w->ones = cv::Mat::ones(w->ratio.size(), CV_32F);
    cv::phase(w->ones, w->ratio, w->angle);
    w->angle.convertTo(w->out, CV_8U, 255.0 / (CV_PI / 4));
}

void Filter2D(const cv::Mat& source, bool, Work* w) {
    cv::filter2D(source, w->out, -1, w->square, cv::Point(-1, -1), 128.0, cv::BORDER_REPLICATE);
}

void SmootherComposite(const cv::Mat& source, bool grey, Work* w) {
    if (!grey) {
        cv::cvtColor(source, w->ycc, cv::COLOR_RGB2YCrCb);
        cv::extractChannel(w->ycc, w->luma, 0);
    }
    (grey ? source : w->luma).convertTo(w->wide, CV_16S);
    for (int d = 0; d < 3; ++d) {
        cv::filter2D(w->wide, w->responses[d], CV_16S, w->directions[d], cv::Point(-1, -1), 0.0, cv::BORDER_REPLICATE);
        cv::absdiff(w->responses[d], cv::Scalar::all(0), w->responses[d]);
    }
    cv::max(w->responses[0], w->responses[1], w->energy);
    cv::max(w->energy, w->responses[2], w->energy);
    if (grey) {
        w->energy.convertTo(w->out, CV_8U, -0.5, 255.0);
        return;
    }
    w->energy.convertTo(w->grey, CV_8U, -0.5, 255.0);
    cv::insertChannel(w->grey, w->ycc, 0);
    cv::cvtColor(w->ycc, w->out, cv::COLOR_YCrCb2RGB);
}

void VariableComposite(const cv::Mat& source, bool grey, Work* w) {
    if (!grey) cv::cvtColor(source, w->grey, cv::COLOR_RGB2GRAY);
    (grey ? source : w->grey).convertTo(w->wide, CV_64F);
    cv::filter2D(w->wide, w->responses[0], CV_64F, w->squareWide, cv::Point(-1, -1), 0.0, cv::BORDER_REPLICATE);
    cv::filter2D(w->wide, w->responses[1], CV_64F, w->squareDownWide, cv::Point(-1, -1), 0.0, cv::BORDER_REPLICATE);
    cv::magnitude(w->responses[0], w->responses[1], w->energy);
    double largest = 0.0;
    cv::minMaxLoc(w->energy, nullptr, &largest);
    w->energy.convertTo(w->out, CV_8U, largest > 0.0 ? -255.0 / largest : 0.0, 255.0);
}

struct Peer {
    const char* key;
    void (*step)(const cv::Mat& source, bool grey, Work* work);
    bool rgb;
    bool grey;
    int size;  // kernel size of the filter2D peers
};

const Peer kPeers[] = {
    {"cv_sobel_magnitude", SobelMagnitude, true, true, 3},
    {"cv_canny", Canny, true, true, 3},
    {"cv_ycrcb_round_trip", YCrCbRoundTrip, true, false, 3},
    {"cv_frei_chen", FreiChen, true, true, 3},
    {"cv_filter2d_3x3", Filter2D, true, true, 3},
    {"cv_filter2d_5x5", Filter2D, true, true, 5},
    {"cv_filter2d_7x7", Filter2D, true, true, 7},
    {"cv_smoother_composite", SmootherComposite, true, true, 3},
    {"cv_variable_composite", VariableComposite, true, true, 7},
};

}  // namespace

namespace {

// `threaded`: at the library's own default thread count for the time of the benchmark, as a user
// of the library gets it, and back to one thread after.
bool RegisterPeer(const std::string& key, const BenchPicture* picture, bool grey, bool threaded) {
    const Peer* peer = nullptr;
    for (const Peer& candidate : kPeers)
        if (key == candidate.key) peer = &candidate;
    if (!peer || !(grey ? peer->grey : peer->rgb)) return false;
    cv::setNumThreads(1);
    const std::string name = key + (threaded ? "_threads/" : "/") + picture->name + (grey ? "-grey" : "-rgb");
    benchmark::RegisterBenchmark(name.c_str(), [peer, picture, grey, threaded](benchmark::State& state) {
        cv::setNumThreads(threaded ? -1 : 1);
        const std::vector<uint8_t>& pixels = grey ? picture->grey : picture->rgb;
        const cv::Mat source(picture->height, picture->width, grey ? CV_8UC1 : CV_8UC3,
                             const_cast<uint8_t*>(pixels.data()));
        Work work;
        MakeKernels(&work, peer->size);
        peer->step(source, grey, &work);  // makes the result pictures once, outside the timing
        for (auto _ : state) {
            peer->step(source, grey, &work);
            benchmark::DoNotOptimize(work.out.data);
            benchmark::ClobberMemory();
        }
        const double megapixels = double(picture->width) * double(picture->height) / 1e6;
        state.counters["MP"] = benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
        cv::setNumThreads(1);
    })->UseRealTime()->Unit(benchmark::kMillisecond);
    return true;
}

}  // namespace

bool RegisterPeerBenchmark(const std::string& key, const BenchPicture* picture, bool grey) {
    return RegisterPeer(key, picture, grey, false);
}

bool RegisterThreadedPeerBenchmark(const std::string& key, const BenchPicture* picture, bool grey) {
    return RegisterPeer(key, picture, grey, true);
}

int32_t PeerDefaultThreads() {
    cv::setNumThreads(-1);
    const int32_t threads = cv::getNumThreads();
    cv::setNumThreads(1);
    return threads;
}

bool RegisterFilePeerBenchmark(const std::string& input, const std::string& output) {
    cv::setNumThreads(1);
    benchmark::RegisterBenchmark("cv_jpeg_grey_png", [input, output](benchmark::State& state) {
        cv::Mat grey;
        for (auto _ : state) {
            const cv::Mat colour = cv::imread(input, cv::IMREAD_COLOR);
            if (colour.empty()) {
                state.SkipWithError(("cannot read " + input).c_str());
                break;
            }
            cv::cvtColor(colour, grey, cv::COLOR_BGR2GRAY);
            if (!cv::imwrite(output, grey)) {
                state.SkipWithError(("cannot write " + output).c_str());
                break;
            }
        }
    })->UseRealTime()->Unit(benchmark::kMillisecond);
    return true;
}

std::string PeerLibrary() { return std::string("OpenCV ") + cv::getVersionString(); }

}  // namespace varnobench
