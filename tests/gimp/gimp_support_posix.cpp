// GIMP profiles, varno's selections and GIMP's selection dumps for the GIMP tests.
#include "gimp_support.h"

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "images/images.h"

namespace gimptest {

namespace {

const char* const kGimp = kGimp3 ? "gimp-console-3.0" : "gimp-console-2.10";
const char* const kPhotographs = "/usr/lib/python3/dist-packages/skimage/data/";

int Shell(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

float HalfToFloat(uint16_t half) {
    const int exponent = (half >> 10) & 31, mantissa = half & 1023;
    const float sign = half & 0x8000 ? -1.0f : 1.0f;
    if (exponent == 0) return sign * std::ldexp(float(mantissa), -24);
    if (exponent == 31) return NAN;
    return sign * std::ldexp(float(mantissa | 1024), exponent - 25);
}

}  // namespace

std::string Quote(const std::string& text) { return "'" + text + "'"; }

std::string Unavailable() {
    if (std::string(VARNO_GIMP_FOLDER).empty())
        return "the GIMP plug-in is not built (no GIMP development files, or a sanitizer build)";
    if (Shell(std::string("command -v ") + kGimp + " >/dev/null 2>&1") != 0) return std::string(kGimp) + " is not installed";
    return {};
}

std::string Photograph(const std::string& name) {
    const std::string path = kPhotographs + name;
    return hosttest::Exists(path) ? path : std::string();
}

std::string MakeProfile(const hosttest::DriveC& drive) {
    const std::string profile = drive.Temp("gimp-profile");
    // A folder GIMP would otherwise complain about at every exit.
    std::filesystem::create_directories(profile + "/gradients");
    const std::string install = "VARNO_GIMP_BUILD=" + Quote(VARNO_GIMP_FOLDER) + " " +
                                Quote(std::string(VARNO_SOURCE_DIR) + "/scripts/install-gimp") + " " +
                                Quote(profile + "/plug-ins") + " >/dev/null";
    EXPECT_EQ(Shell(install), 0) << install;
    return profile;
}

std::string GimpCommand(const hosttest::DriveC& drive, const std::string& script, const std::string& log,
                        bool display) {
    // GIMP 3 takes batch.scm's helpers with those of batch3.scm in place of the ones it changed.
    const std::string folder = std::string(VARNO_SOURCE_DIR) + "/tests/gimp/";
    const std::string helpers = "(load \"" + folder + "batch.scm\")" + (kGimp3 ? " (load \"" + folder + "batch3.scm\")" : "");
    return "cd " + Quote(drive.Temp("")) + " && " + (kGimp3 ? "GIMP3_DIRECTORY=" : "GIMP2_DIRECTORY=") +
           Quote(drive.Temp("gimp-profile")) + " XDG_CACHE_HOME=" + Quote(drive.Temp("cache")) +
           (display ? " " : " env -u DISPLAY ") + "timeout 600 " + kGimp + " -i -d -f -s " +
           (kGimp3 ? "--quit " : "") + "--batch-interpreter=plug-in-script-fu-eval -b " +
           Quote("(begin " + helpers + " (load \"" + script + "\"))") + (kGimp3 ? "" : " -b '(gimp-quit 0)'") +
           " >" + Quote(log) + " 2>&1";
}

Plane VarnoSelection(const hosttest::DriveC& drive, const std::string& input, int32_t method, int32_t radius,
                     const std::string& selection) {
    const std::string output = drive.Temp("varno-selection.png");
    std::string command = Quote(VARNO_PROGRAM_PATH) + " select " + Quote(input) + " -o " + Quote(output) + " -m " +
                          std::to_string(method) + " -r " + std::to_string(radius) + " --quiet";
    if (!selection.empty()) command += " --selection " + Quote(selection);
    EXPECT_EQ(Shell(command), 0) << command;
    Plane plane = ReadPicture(output);
    hosttest::Remove(output);
    return plane;
}

Plane ReadPicture(const std::string& path) {
    varno::Document document;
    Plane plane;
    const std::string error = varno::ReadImageFile(path, &document);
    EXPECT_EQ(error, "") << path;
    if (!error.empty()) return plane;
    EXPECT_EQ(document.mode, 1) << path << " is not a grey picture";
    plane.width = document.width;
    plane.height = document.height;
    const size_t count = size_t(document.width) * size_t(document.height);
    for (size_t i = 0; i < count; ++i) plane.bytes.push_back(varno::Sample8At(document, 0, i));
    return plane;
}

void WritePicture(const std::string& path, const Plane& plane) {
    std::vector<uint8_t> bytes;
    std::string error = varno::EncodeImage(path, plane.width, plane.height, 1, plane.bytes.data(), &bytes);
    if (error.empty()) error = varno::WriteFileAtomically(path, bytes);
    EXPECT_EQ(error, "") << path;
}

bool ReadDump(const std::string& path, int32_t width, int32_t height, Samples samples, Plane* plane,
              std::string* error, bool exact) {
    static const size_t sizes[] = {1, 2, 4, 2, 4, 8};
    const size_t size = sizes[int(samples)], count = size_t(width) * size_t(height);
    const std::vector<uint8_t> bytes = hosttest::ReadBytes(path);
    if (bytes.size() != count * size) {
        *error = path + " holds " + std::to_string(bytes.size()) + " bytes, not " + std::to_string(count * size);
        return false;
    }
    plane->width = width;
    plane->height = height;
    plane->bytes.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* at = &bytes[i * size];
        uint64_t word = 0;
        std::memcpy(&word, at, size);  // little-endian, as the machine
        double real = -1, tolerance = 0;
        switch (samples) {
            case Samples::kU8: real = word; break;
            case Samples::kU16: real = double(word) / 257.0; break;
            case Samples::kU32: real = double(word) / 4294967295.0 * 255.0, tolerance = 1e-4; break;
            case Samples::kHalf: real = HalfToFloat(uint16_t(word)) * 255.0, tolerance = 0.15; break;
            case Samples::kFloat: { float f; std::memcpy(&f, at, 4); real = f * 255.0; tolerance = 1e-3; break; }
            case Samples::kDouble: { double d; std::memcpy(&d, at, 8); real = d * 255.0; tolerance = 1e-3; break; }
        }
        const double nearest = std::round(real);
        if (!(nearest >= 0 && nearest <= 255 && (!exact || std::fabs(real - nearest) <= tolerance))) {
            *error = path + ": sample " + std::to_string(i) + " is no 8-bit value";
            return false;
        }
        plane->bytes[i] = uint8_t(nearest);
    }
    return true;
}

}  // namespace gimptest
