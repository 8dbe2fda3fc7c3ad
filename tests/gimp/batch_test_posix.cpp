// The plug-in run by GIMP itself: one headless gimp-console batch on a private profile, every
// method and radius on grey and colour photographs at GIMP's precisions, with and without a
// current selection, a layer at an offset, an indexed picture, varying alpha, runs with last
// values and refused arguments; every selection GIMP ends up with is compared with the one
// `varno select` writes for the same picture.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <tuple>

#include "gimp_support.h"

namespace {

using gimptest::Plane;
using gimptest::Samples;

// One selection GIMP dumps, and how to get what it must hold from varno.
struct Expectation {
    std::string dump;
    Samples samples = Samples::kU8;
    std::string input;  // the picture varno reads
    int32_t method = 0, radius = 0;
    std::string selection;  // a dump of the selection before the run, handed to varno ("" none)
    // The drawable's place on its canvas: the canvas is canvasWidth x canvasHeight (0: the
    // picture's own size) with the picture at (x, y).
    int32_t canvasWidth = 0, canvasHeight = 0, x = 0, y = 0;
    std::string sameAs;  // instead: the dump must equal this other dump
};

class Batch {
public:
    explicit Batch(const hosttest::DriveC& drive) : drive_(drive) {}

    std::string Dump(const std::string& name) const { return drive_.Temp(name + ".raw"); }
    std::string Quoted(const std::string& text) const { return "\"" + text + "\""; }

    // Every method with every radius on a picture loaded at a precision (0: as loaded).
    void AllMethods(const std::string& stem, const std::string& picture, const std::string& precision, Samples samples) {
        script_ += "(vt-case " + Quoted(stem) + " (lambda () (let ((image (vt-load " + Quoted(picture) + ")))" +
                   (precision.empty() ? "" : " (gimp-image-convert-precision image " + precision + ")") +
                   " (vt-all image " + Quoted(drive_.Temp(stem)) + ") (gimp-image-delete image))))\n";
        for (int32_t method = 3; method <= 7; ++method)
            for (int32_t radius = 1; radius <= 3; ++radius) {
                Expectation e;
                e.dump = Dump(stem + "-" + std::to_string(method) + "-" + std::to_string(radius));
                e.samples = samples;
                e.input = picture;
                e.method = method;
                e.radius = radius;
                expected_.push_back(e);
            }
    }

    // A case of its own: `prepare` makes `image` ready (Script-Fu), `run` ends with the dump.
    void Case(const std::string& name, const std::string& open, const std::string& run, Expectation e) {
        script_ += "(vt-case " + Quoted(name) + " (lambda () (let ((image " + open + ")) " + run +
                   " (gimp-image-delete image))))\n";
        expected_.push_back(e);
    }

    void Raw(const std::string& text) { script_ += text + "\n"; }
    const std::string& Script() const { return script_; }
    const std::vector<Expectation>& Expected() const { return expected_; }

private:
    const hosttest::DriveC& drive_;
    std::string script_;
    std::vector<Expectation> expected_;
};

// The selection the canvas must have: varno's selection of the picture where the picture lies,
// nothing elsewhere.
Plane OnCanvas(const Plane& selection, const Expectation& e) {
    if (e.canvasWidth == 0) return selection;
    Plane canvas;
    canvas.width = e.canvasWidth;
    canvas.height = e.canvasHeight;
    canvas.bytes.assign(size_t(e.canvasWidth) * size_t(e.canvasHeight), 0);
    for (int32_t y = 0; y < canvas.height; ++y)
        for (int32_t x = 0; x < canvas.width; ++x) {
            const int32_t px = x - e.x, py = y - e.y;
            if (px >= 0 && py >= 0 && px < selection.width && py < selection.height)
                canvas.bytes[size_t(y) * size_t(canvas.width) + size_t(x)] =
                    selection.bytes[size_t(py) * size_t(selection.width) + size_t(px)];
        }
    return canvas;
}

// The part of a canvas-sized plane that lies under the picture.
Plane UnderPicture(const Plane& canvas, const Expectation& e, int32_t width, int32_t height) {
    Plane part;
    part.width = width;
    part.height = height;
    part.bytes.assign(size_t(width) * size_t(height), 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const int32_t cx = x + e.x, cy = y + e.y;
            if (cx >= 0 && cy >= 0 && cx < canvas.width && cy < canvas.height)
                part.bytes[size_t(y) * size_t(width) + size_t(x)] = canvas.bytes[size_t(cy) * size_t(canvas.width) + size_t(cx)];
        }
    return part;
}

// varno's selections, each computed once.
class Expected {
public:
    explicit Expected(const hosttest::DriveC& drive) : drive_(drive) {}

    const Plane& Of(const Expectation& x) {
        Plane& picture = planes_[{x.input, x.method, x.radius, x.selection}];
        if (!picture.bytes.empty()) return picture;
        std::string selectionPicture;
        if (!x.selection.empty()) {
            // The selection GIMP had, over the picture's part of the canvas.
            const Plane size = gimptest::VarnoSelection(drive_, x.input, x.method, x.radius);
            const int32_t width = x.canvasWidth ? x.canvasWidth : size.width;
            const int32_t height = x.canvasWidth ? x.canvasHeight : size.height;
            Plane before;
            std::string error;
            if (!gimptest::ReadDump(x.selection, width, height, Samples::kU8, &before, &error)) {
                ADD_FAILURE() << error;
                return picture;
            }
            selectionPicture = drive_.Temp("selection-before.png");
            gimptest::WritePicture(selectionPicture, UnderPicture(before, x, size.width, size.height));
        }
        picture = gimptest::VarnoSelection(drive_, x.input, x.method, x.radius, selectionPicture);
        return picture;
    }

private:
    const hosttest::DriveC& drive_;
    std::map<std::tuple<std::string, int32_t, int32_t, std::string>, Plane> planes_;
};

void Check(const Expectation& x, Expected* varno) {
    SCOPED_TRACE(x.dump);
    Plane got, want;
    std::string error;
    if (!x.sameAs.empty()) {
        // The camera photograph is 512 x 512.
        ASSERT_TRUE(gimptest::ReadDump(x.sameAs, 512, 512, Samples::kU8, &want, &error)) << error;
        ASSERT_TRUE(gimptest::ReadDump(x.dump, 512, 512, Samples::kU8, &got, &error)) << error;
        EXPECT_NE(want.bytes, std::vector<uint8_t>(want.bytes.size(), 0)) << "the selection to keep is empty";
        EXPECT_TRUE(got.bytes == want.bytes);
        return;
    }
    const Plane& picture = varno->Of(x);
    ASSERT_FALSE(picture.bytes.empty());
    want = OnCanvas(picture, x);
    ASSERT_TRUE(gimptest::ReadDump(x.dump, want.width, want.height, x.samples, &got, &error)) << error;
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
    // What the module remembers before GIMP has kept anything: a run with last values plays
    // nothing, so this decides it.
    gimptest::VarnoSelection(drive, coffee, 4, 1);

    Batch batch(drive);
    Expectation e;
    e = {};
    e.dump = batch.Dump("last-first"), e.input = coffee, e.method = 4, e.radius = 1;
    batch.Case("last values from the preferences file", "(vt-load " + batch.Quoted(coffee) + ")",
               "(vt-last image " + batch.Quoted(e.dump) + ")", e);

    batch.AllMethods("camera-8", camera, "", Samples::kU8);
    batch.AllMethods("astronaut-8", astronaut, "", Samples::kU8);
    batch.AllMethods("camera-16", camera, "PRECISION-U16-GAMMA", Samples::kU16);
    batch.AllMethods("astronaut-16", astronaut, "PRECISION-U16-GAMMA", Samples::kU16);

    // The other precisions, each on one method.
    const struct {
        const char* precision;
        Samples samples;
        int32_t method, radius;
    } precisions[] = {{"PRECISION-U16-LINEAR", Samples::kU16, 3, 1},     {"PRECISION-U32-GAMMA", Samples::kU32, 4, 2},
                      {"PRECISION-HALF-LINEAR", Samples::kHalf, 5, 3},  {"PRECISION-FLOAT-LINEAR", Samples::kFloat, 6, 1},
                      {"PRECISION-DOUBLE-GAMMA", Samples::kDouble, 7, 3}};
    for (const auto& p : precisions) {
        e = {};
        e.dump = batch.Dump(std::string("coffee-") + p.precision), e.samples = p.samples, e.input = coffee;
        e.method = p.method, e.radius = p.radius;
        batch.Case(p.precision, "(vt-load " + batch.Quoted(coffee) + ")",
                   std::string("(gimp-image-convert-precision image ") + p.precision + ") (vt-select image " +
                       std::to_string(p.method) + " " + std::to_string(p.radius) + " " + batch.Quoted(e.dump) + ")",
                   e);
    }

    // Indexed colours reach the module through the palette; alpha is dropped, whatever it is.
    for (int32_t method : {4, 7}) {
        e = {};
        e.dump = batch.Dump("palette-" + std::to_string(method)), e.input = palette, e.method = method, e.radius = 2;
        batch.Case("indexed", "(vt-load " + batch.Quoted(palette) + ")",
                   "(vt-select image " + std::to_string(method) + " 2 " + batch.Quoted(e.dump) + ")", e);
        e.dump = batch.Dump("alpha-" + std::to_string(method)), e.input = astronaut;
        batch.Case("alpha", "(vt-load " + batch.Quoted(astronaut) + ")",
                   "(vt-vary-alpha image) (vt-select image " + std::to_string(method) + " 2 " + batch.Quoted(e.dump) + ")", e);
    }

    // A current selection, soft-edged, handed over with the picture.
    for (int32_t method : {5, 7}) {
        e = {};
        e.dump = batch.Dump("selected-" + std::to_string(method)), e.selection = batch.Dump("selected-before-" + std::to_string(method));
        e.input = astronaut, e.method = method, e.radius = 3;
        batch.Case("current selection", "(vt-load " + batch.Quoted(astronaut) + ")",
                   "(vt-ellipse image 100 60 300 200 " + batch.Quoted(e.selection) + ") (vt-select image " +
                       std::to_string(method) + " 3 " + batch.Quoted(e.dump) + ")",
                   e);
    }

    // Layers at an offset: partly off the canvas; inside it, with a current selection.
    const struct {
        std::string picture;
        int32_t width, height, x, y, method, radius;
        bool selected;
    } layers[] = {{coffee, 700, 600, 150, -50, 7, 3, false}, {coffee, 700, 600, -40, 250, 4, 1, false},
                  {camera, 640, 640, 60, 90, 5, 2, true}};
    int serial = 0;
    for (const auto& l : layers) {
        e = {};
        const std::string name = "layer-" + std::to_string(serial++);
        e.dump = batch.Dump(name), e.input = l.picture, e.method = l.method, e.radius = l.radius;
        e.canvasWidth = l.width, e.canvasHeight = l.height, e.x = l.x, e.y = l.y;
        if (l.selected) e.selection = batch.Dump(name + "-before");
        batch.Case("layer at an offset",
                   "(vt-layered " + batch.Quoted(l.picture) + " " + std::to_string(l.width) + " " + std::to_string(l.height) +
                       " " + std::to_string(l.x) + " " + std::to_string(l.y) + ")",
                   (l.selected ? "(vt-ellipse image 0 0 400 500 " + batch.Quoted(e.selection) + ") " : std::string()) +
                       "(vt-select image " + std::to_string(l.method) + " " + std::to_string(l.radius) + " " +
                       batch.Quoted(e.dump) + ")",
                   e);
    }

    // The last run's choice is what a run with last values plays, on another picture.
    e = {};
    e.dump = batch.Dump("last-kept"), e.input = astronaut, e.method = 6, e.radius = 3;
    batch.Raw("(vt-case \"choice to keep\" (lambda () (let ((image (vt-load " + batch.Quoted(coffee) +
              "))) (vt-select image 6 3 " + batch.Quoted(batch.Dump("kept")) + "))))");
    batch.Case("last values kept by GIMP", "(vt-load " + batch.Quoted(astronaut) + ")",
               "(vt-last image " + batch.Quoted(e.dump) + ")", e);

    // Refused arguments change nothing.
    e = {};
    e.dump = batch.Dump("refused-after"), e.sameAs = batch.Dump("refused-before");
    batch.Case("refused arguments", "(vt-load " + batch.Quoted(camera) + ")",
               "(gimp-image-select-rectangle image CHANNEL-OP-REPLACE 10 20 100 50) (vt-dump image " +
                   batch.Quoted(e.sameAs) + ") (catch #f (vt-select image 9 2 \"\")) (catch #f (vt-select image 5 0 \"\"))" +
                   " (catch #f (vt-select image 2 4 \"\")) (vt-dump image " + batch.Quoted(e.dump) + ")",
               e);

    const std::string script = drive.Temp("cases.scm"), log = drive.Temp("gimp.log");
    hosttest::WriteBytes(script, std::vector<uint8_t>(batch.Script().begin(), batch.Script().end()));
    const int raw = std::system(gimptest::GimpCommand(drive, script, log).c_str());
    const std::vector<uint8_t> logBytes = hosttest::ReadBytes(log);
    const std::string logText(logBytes.begin(), logBytes.end());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << logText;
    EXPECT_EQ(logText.find("case failed"), std::string::npos) << logText;
    // The three refusals, each with its reason.
    size_t refusals = 0;
    for (size_t at = logText.find("method must be 3..7"); at != std::string::npos; at = logText.find("method must be 3..7", at + 1))
        ++refusals;
    EXPECT_EQ(refusals, 3u) << logText;

    Expected varno(drive);
    for (const Expectation& x : batch.Expected()) Check(x, &varno);
}

}  // namespace
