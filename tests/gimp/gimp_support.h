// Shared ground of the tests that run the plug-in inside GIMP: a private GIMP profile with the
// plug-in installed the way `make install-gimp` installs it, the Script-Fu helpers, varno's
// selections to compare with, and the selections GIMP dumps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/host/host_fixture.h"

namespace gimptest {

// The GIMP the plug-in of this build is for: 2.10, or 3 in the Debian 13 root (scripts/gimp3-root).
inline constexpr bool kGimp3 = VARNO_GIMP_MAJOR == 3;

// Why GIMP cannot run the plug-in here (no plug-in built, no gimp-console of its version), or empty.
std::string Unavailable();
// A photograph that ships with Debian's python3-skimage; empty when it is not installed.
std::string Photograph(const std::string& name);

// A GIMP profile of its own in the drive's temporary directory, with the plug-in installed.
std::string MakeProfile(const hosttest::DriveC& drive);
// The shell command that runs gimp-console (2.10 or 3.0) on that profile with the Script-Fu file `script`
// (loaded after the helpers), output into `log`, and quits. Without `display` the plug-in gets no
// X display, so nothing can wait for a user.
std::string GimpCommand(const hosttest::DriveC& drive, const std::string& script, const std::string& log,
                        bool display = false);
std::string Quote(const std::string& text);

struct Plane {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> bytes;
};

// The selection `varno select IN -m M -r R [--selection SEL]` writes (the program itself, run on
// the drive); fails the test when varno fails.
Plane VarnoSelection(const hosttest::DriveC& drive, const std::string& input, int32_t method, int32_t radius,
                     const std::string& selection = {});
// A grey picture as an 8-bit plane, or a PNG written from one.
Plane ReadPicture(const std::string& path);
void WritePicture(const std::string& path, const Plane& plane);

// The samples of a selection mask, as file-raw-save dumps it.
enum class Samples { kU8, kU16, kU32, kHalf, kFloat, kDouble };
// The dump of a width x height mask as 8-bit values. When `exact`, wider samples must be the
// exact image of an 8-bit value (v x 257 in 16 bits; v / 255 of the full scale in 32 bits and in
// floating point, to the format's precision), else they become the nearest 8-bit value; a dump
// of the wrong size is an error.
bool ReadDump(const std::string& path, int32_t width, int32_t height, Samples samples, Plane* plane,
              std::string* error, bool exact = true);

}  // namespace gimptest
