// The plug-in run by GIMP itself: one headless gimp-console batch on a private profile, every
// method and radius on grey and colour photographs at GIMP's precisions, with and without a
// current selection, layers at offsets, an indexed picture, varying alpha, runs with last values
// and refused arguments; every selection GIMP ends up with is compared with the one
// `varno select` writes for the same picture.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "gimp_support.h"

namespace {

using gimptest::Plane;
using gimptest::Samples;

struct Case {
    std::string name;     // of the dumps: NAME.raw, and NAME-before.raw (the selection it starts from)
    std::string picture;  // what GIMP loads and varno reads
    std::string prepare;  // Script-Fu on `image` before the run
    int32_t method = 0;   // 0: every method with every radius, NAME-M-R.raw each
    int32_t radius = 0;
    bool last = false;    // a run with last values, which must play method and radius
    Samples samples = Samples::kU8;
    int32_t canvasWidth = 0, canvasHeight = 0, x = 0, y = 0;  // the picture as a layer on a canvas
};

std::string Q(const std::string& text) { return "\"" + text + "\""; }

// A wide-gamut RGB profile that comes with GIMP (through Ghostscript).
const char* const kWideProfile = "/usr/share/color/icc/ghostscript/rommrgb.icc";

std::string Script(const Case& c, const std::string& dumps) {
    const std::string open = c.canvasWidth ? "(vt-layered " + Q(c.picture) + " " + std::to_string(c.canvasWidth) + " " +
                                                 std::to_string(c.canvasHeight) + " " + std::to_string(c.x) + " " +
                                                 std::to_string(c.y) + ")"
                                           : "(vt-load " + Q(c.picture) + ")";
    std::string run = "(vt-all image " + Q(dumps) + ")";
    if (c.last)
        run = "(vt-last image " + Q(dumps + ".raw") + ")";
    else if (c.method)
        run = "(vt-select image " + std::to_string(c.method) + " " + std::to_string(c.radius) + " " + Q(dumps + ".raw") + ")";
    return "(vt-case " + Q(c.name) + " (lambda () (let ((image " + open + ")) " + c.prepare + " (vt-dump image " +
           Q(dumps + "-before.raw") + ") " + run + " (gimp-image-delete image))))\n";
}

// A plane of a canvas's size with `picture` at (x, y), or the part of a canvas under it.
Plane Place(const Plane& from, int32_t width, int32_t height, int32_t x, int32_t y) {
    Plane to{width, height, std::vector<uint8_t>(size_t(width) * size_t(height), 0)};
    for (int32_t row = 0; row < height; ++row)
        for (int32_t column = 0; column < width; ++column) {
            const int32_t fx = column - x, fy = row - y;
            if (fx >= 0 && fy >= 0 && fx < from.width && fy < from.height)
                to.bytes[size_t(row) * size_t(width) + size_t(column)] = from.bytes[size_t(fy) * size_t(from.width) + size_t(fx)];
        }
    return to;
}

// What one dump must hold: varno's selection of the picture (given the selection GIMP had over
// the picture's area, if any), on the canvas.
void Check(const hosttest::DriveC& drive, const Case& c, const std::string& dump, int32_t method, int32_t radius) {
    SCOPED_TRACE(dump);
    static std::map<std::tuple<std::string, int32_t, int32_t>, Plane> known;  // varno's, without a selection
    Plane& alone = known[{c.picture, method, radius}];
    if (alone.bytes.empty()) alone = gimptest::VarnoSelection(drive, c.picture, method, radius);
    ASSERT_FALSE(alone.bytes.empty());
    const int32_t width = c.canvasWidth ? c.canvasWidth : alone.width, height = c.canvasWidth ? c.canvasHeight : alone.height;
    Plane before, got;
    std::string error;
    // The selection before the run need not be 8-bit values: the module gets the nearest ones.
    ASSERT_TRUE(gimptest::ReadDump(c.name + "-before.raw", width, height, c.samples, &before, &error, false)) << error;
    Plane want = alone;
    if (before.bytes != std::vector<uint8_t>(before.bytes.size(), 0)) {
        const std::string selection = drive.Temp("selection-before.png");
        gimptest::WritePicture(selection, Place(before, alone.width, alone.height, -c.x, -c.y));
        want = gimptest::VarnoSelection(drive, c.picture, method, radius, selection);
    }
    want = Place(want, width, height, c.x, c.y);
    ASSERT_TRUE(gimptest::ReadDump(dump, width, height, c.samples, &got, &error)) << error;
    size_t differing = 0;
    for (size_t i = 0; i < got.bytes.size(); ++i) differing += got.bytes[i] != want.bytes[i];
    EXPECT_EQ(differing, 0u) << "of " << got.bytes.size() << " pixels";
}

TEST(GimpBatch, EverySelectionIsTheOneVarnoWrites) {
    if (const std::string why = gimptest::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    const std::string camera = gimptest::Photograph("camera.png"), astronaut = gimptest::Photograph("astronaut.png"),
                      coffee = gimptest::Photograph("coffee.png"), palette = gimptest::Photograph("green_palette.png");
    if (camera.empty() || astronaut.empty() || coffee.empty() || palette.empty())
        GTEST_SKIP() << "the photographs of python3-skimage are not installed (scripts/install-deps)";

    hosttest::DriveC drive;
    gimptest::MakeProfile(drive);
    // What the module remembers before GIMP keeps anything: the first run with last values plays
    // nothing, so this decides it.
    gimptest::VarnoSelection(drive, coffee, 4, 1);
    // The photograph with that profile embedded (GIMP keeps it when it loads the picture).
    const std::string profiled = drive.Temp("profiled.png");
    ASSERT_EQ(std::system(("convert " + gimptest::Quote(astronaut) + " -profile " + kWideProfile + " " +
                           gimptest::Quote(profiled)).c_str()), 0);

    const std::string u16 = "(gimp-image-convert-precision image PRECISION-U16-GAMMA)";
    const std::string ellipse = "(gimp-context-set-feather TRUE) (gimp-context-set-feather-radius 24 24)"
                                " (gimp-image-select-ellipse image CHANNEL-OP-REPLACE 100 60 300 200)"
                                " (gimp-context-set-feather FALSE)";
    const std::vector<Case> cases = {
        {"last-first", coffee, "", 4, 1, true},
        {"camera-8", camera, ""},
        {"astronaut-8", astronaut, ""},
        {"camera-16", camera, u16, 0, 0, false, Samples::kU16},
        {"astronaut-16", astronaut, u16, 0, 0, false, Samples::kU16},
        {"u16-linear", coffee, "(gimp-image-convert-precision image PRECISION-U16-LINEAR)", 3, 1, false, Samples::kU16},
        {"u32", coffee, "(gimp-image-convert-precision image PRECISION-U32-GAMMA)", 4, 2, false, Samples::kU32},
        {"half", coffee, "(gimp-image-convert-precision image PRECISION-HALF-LINEAR)", 5, 3, false, Samples::kHalf},
        {"float", coffee, "(gimp-image-convert-precision image PRECISION-FLOAT-LINEAR)", 6, 1, false, Samples::kFloat},
        {"double", coffee, "(gimp-image-convert-precision image PRECISION-DOUBLE-GAMMA)", 7, 3, false, Samples::kDouble},
        // Indexed colours reach the module through the palette; alpha is dropped, whatever it is.
        {"indexed", palette, "", 7, 2},
        {"alpha", astronaut, "(vt-vary-alpha image)", 4, 2},
        // The drawable's own values whatever colour profile the image has, not their conversion.
        {"profile", profiled, "", 6, 2},
        {"selected", astronaut, ellipse, 5, 3},
        {"selected-16", astronaut, u16 + " " + ellipse, 7, 1, false, Samples::kU16},
        // Layers at offsets: off the canvas's top and right edges, its left and bottom edges, inside it.
        {"layer-top-right", coffee, "", 7, 3, false, Samples::kU8, 700, 600, 150, -50},
        {"layer-bottom-left", coffee, "", 4, 1, false, Samples::kU8, 700, 600, -40, 250},
        {"layer-selected", camera, ellipse, 5, 2, false, Samples::kU8, 640, 640, 60, 90},
        // GIMP 2.10 keeps the choice of the last run ("layer-selected": Smoother, radius 2); GIMP 3
        // keeps the arguments of interactive runs only (the dialog's test), so the module's choice
        // of "last-first" stays.
        {"last-kept", astronaut, "", gimptest::kGimp3 ? 4 : 5, gimptest::kGimp3 ? 1 : 2, true},
    };
    std::string script;
    for (const Case& c : cases) script += Script(c, drive.Temp(c.name));
    // Refused arguments leave the selection alone.
    const std::string refusedBefore = drive.Temp("refused-before.raw"), refused = drive.Temp("refused.raw");
    script += "(let ((image (vt-load " + Q(camera) + "))) (gimp-image-select-rectangle image CHANNEL-OP-REPLACE 10 20 100 50)"
              " (vt-dump image " + Q(refusedBefore) + ") (catch #f (vt-select image 9 2 \"\"))"
              " (catch #f (vt-select image 5 0 \"\")) (catch #f (vt-select image 2 4 \"\")) (vt-dump image " + Q(refused) + "))\n";
    // The README's batch command for this GIMP.
    script += "(load \"" + std::string(VARNO_SOURCE_DIR) + (gimptest::kGimp3 ? "/gimp/select3.scm" : "/gimp/select2.scm") +
              "\") (varnocketile-select-file " + Q(camera) + " " + Q(drive.Temp("select.png")) +
              (gimptest::kGimp3 ? " \"fine\" 3)\n" : " 6 3)\n");
    const std::string scriptPath = drive.Temp("cases.scm"), log = drive.Temp("gimp.log");
    hosttest::WriteBytes(scriptPath, std::vector<uint8_t>(script.begin(), script.end()));
    const int raw = std::system(gimptest::GimpCommand(drive, scriptPath, log).c_str());
    const std::vector<uint8_t> logBytes = hosttest::ReadBytes(log);
    const std::string logText(logBytes.begin(), logBytes.end());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << logText;
    EXPECT_EQ(logText.find("case failed"), std::string::npos) << logText;

    for (const Case& c : cases) {
        const std::string dumps = drive.Temp(c.name);
        Case located = c;
        located.name = dumps;
        if (c.method == 0) {
            for (int32_t method = 3; method <= 7; ++method)
                for (int32_t radius = 1; radius <= 3; ++radius)
                    Check(drive, located, dumps + "-" + std::to_string(method) + "-" + std::to_string(radius) + ".raw",
                          method, radius);
        } else {
            Check(drive, located, dumps + ".raw", c.method, c.radius);
        }
    }

    // GIMP 2.10 hands any number to the plug-in, which refuses it and leaves the selection alone;
    // GIMP 3 refuses the two methods its choice does not hold before the plug-in sees them (and
    // keeps a radius in its range without a word).
    const std::string refusal = gimptest::kGimp3 ? "is invalid or out of range for property" : "method must be 3..7";
    size_t refusals = 0;
    for (size_t at = logText.find(refusal); at != std::string::npos; at = logText.find(refusal, at + 1)) ++refusals;
    EXPECT_EQ(refusals, gimptest::kGimp3 ? 2u : 3u) << logText;
    EXPECT_TRUE(gimptest::ReadPicture(drive.Temp("select.png")).bytes == gimptest::VarnoSelection(drive, camera, 6, 3).bytes);
    if (gimptest::kGimp3) return;
    const std::vector<uint8_t> kept = hosttest::ReadBytes(refusedBefore);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), 255), 100 * 50);
    EXPECT_TRUE(hosttest::ReadBytes(refused) == kept);
}

}  // namespace
