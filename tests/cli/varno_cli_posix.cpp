// The varno program itself, run as a user runs it: TIFF documents through libtiff, the messages
// and exit codes of failures, and no output file unless the run succeeded.
#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "plugin/plugin.h"
#include "tests/host/host_fixture.h"
#include "images/images.h"
#include "tests/images/picture_files.h"
#include "varno_program.h"

namespace {

using hosttest::DriveC;
using varno::Document;
using namespace varnotest;

// The peak resident memory of one `varno select IN -o OUT --quiet` run, in bytes; -1 when the
// run did not end with `exit` (unused in sanitizer builds, whose shadow memory swamps it). A forked child starts with this process's present resident size as its peak (and
// posix_spawn's shared-memory child with this process's own peak), so callers keep this process
// small while they measure.
[[maybe_unused]] int64_t PeakMemoryOfSelect(const std::string& input, const std::string& output, int exit = 0) {
    const std::string program = VARNO_PROGRAM_PATH;
    std::vector<std::string> words = {program, "select", input, "-o", output, "-m", "smoother", "--quiet"};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != exit)
        return -1;
    return int64_t(usage.ru_maxrss) * 1024;
}

TEST(VarnoProgram, TiffDocumentsOfEveryKind) {
    struct Case {
        const char* what;
        int32_t mode;
        bool planar, tiled;
    };
    const Case cases[] = {
        {"CMYK", 4, false, false},        {"CMYK 16-bit", 13, false, false}, {"Lab", 9, false, false},
        {"Lab 16-bit", 12, false, false}, {"grey 16-bit", 10, false, false}, {"RGB 16-bit planar", 11, true, false},
        {"grey tiled", 1, false, true},   {"CMYK planar tiled", 4, true, true},
    };
    for (const Case& c : cases) {
        DriveC drive;
        const Document document = varno::MakeTestDocument(c.mode, 37, 21, 6);
        const std::string input = drive.Temp("picture.tif"), output = drive.Temp("mask.png");
        WriteTiff(input, document, c.planar, c.tiled);
        Document read;
        ASSERT_EQ(varno::ReadImageFile(input, &read), "") << c.what;
        EXPECT_EQ(read.mode, c.mode) << c.what;
        EXPECT_EQ(read.channels8, document.channels8) << c.what << ": the host reads what the file holds";
        EXPECT_EQ(read.channels16, document.channels16) << c.what;

        const Outcome outcome = Varno(drive, "select " + Quote(input) + " -o " + Quote(output) + " -m fine -r 1 --quiet");
        EXPECT_EQ(outcome.status, 0) << c.what << ": " << outcome.err;
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(GreyPlane(output), LibraryMask(document, 6, 1)) << c.what;
    }
}

TEST(VarnoProgram, FailuresPrintOneLineAndWriteNothing) {
    DriveC drive;
    const std::string notes = drive.Temp("notes.txt"), cut = drive.Temp("cut.png");
    const std::string output = drive.Temp("out.png");
    hosttest::WriteBytes(notes, {'n', 'o', 't', 'e', 's'});

    Outcome outcome = Varno(drive, "select " + Quote(notes) + " -o " + Quote(output));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "varno: cannot read '" + notes + "': not an image varno can read (PNG, JPEG, BMP or TIFF)\n");
    EXPECT_FALSE(hosttest::Exists(output));

    // A picture cut short is refused before the plug-in runs; an existing output stays as it was.
    ASSERT_EQ(Varno(drive, "sample " + Quote(cut) + " --size 40x30").status, 0);
    std::vector<uint8_t> bytes = hosttest::ReadBytes(cut);
    bytes.resize(bytes.size() / 2);
    hosttest::WriteBytes(cut, bytes);
    hosttest::WriteBytes(output, {1, 2, 3});
    outcome = Varno(drive, "select " + Quote(cut) + " -o " + Quote(output));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "varno: cannot read '" + cut + "': the PNG file is truncated\n");
    EXPECT_EQ(hosttest::ReadBytes(output), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(hosttest::Exists(drive.Path("QUENpref.xxx")));

    outcome = Varno(drive, "select " + Quote(drive.Temp("absent.png")));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "varno: cannot read '" + drive.Temp("absent.png") + "': file not found\n");

    // A selection of another size is refused before the plug-in runs.
    const std::string picture = drive.Temp("picture.png"), small = drive.Temp("small.png");
    ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 20x10").status, 0);
    ASSERT_EQ(Varno(drive, "sample " + Quote(small) + " --size 10x10").status, 0);
    outcome = Varno(drive, "select " + Quote(picture) + " --selection " + Quote(small) + " -o " + Quote(drive.Temp("x.png")));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("cannot use selection"), std::string::npos) << outcome.err;
    EXPECT_FALSE(hosttest::Exists(drive.Temp("x.png")));
}

// One line naming the mistake (and the word meant, for a slip), exit 2, and nothing changed: no
// output, no preferences, no run log record.
TEST(VarnoProgram, CommandLineMistakesExitWithTwo) {
    DriveC drive;
    const std::string in = drive.Temp("in.png"), out = drive.Temp("out.png"), dir = drive.Temp("new/");
    ASSERT_EQ(Varno(drive, "sample " + Quote(in) + " --size 20x10").status, 0);
    auto Bytes = [](const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); };
    const std::string method9 = drive.Temp("m9.txt"), radius7 = drive.Temp("r7.txt"), good = drive.Temp("good.txt");
    hosttest::WriteBytes(method9, Bytes("varno action 1\nEdgM enum rB45 9\nedgR long 2\n"));
    hosttest::WriteBytes(radius7, Bytes("varno action 1\nEdgM enum rB45 6\nedgR doub 7.5\n"));
    hosttest::WriteBytes(good, Bytes("varno action 1\nEdgM enum rB45 6\nedgR long 2\n"));
    const std::string select = "; try varno select --help", methods = "traditional, skinny, smoother, fine, variable or 3..7";
    struct Case {
        std::string line, err;
        const char* threads = nullptr;  // VARNOCKETILE_THREADS, when set
    };
    const Case cases[] = {
        {"select", "select needs an input picture" + select},
        {"bogus", "unknown command 'bogus'; try varno --help"},
        {"selcet " + in, "unknown command 'selcet' (did you mean select?); try varno --help"},
        {"--hlep", "unknown option '--hlep' (did you mean --help?); try varno --help"},
        {"select " + in + " -m 9", "-m takes " + methods + ", not '9'" + select},
        {"select " + in + " -m smooter", "unknown method 'smooter' (did you mean smoother?)" + select},
        {"select " + in + " -m 'fine detial'", "unknown method 'fine detial' (did you mean Fine detail?)" + select},
        {"select " + in + " -r 0", "-r takes 1, 2 or 3, not '0'" + select},
        {"select " + in + " -m", "-m takes " + methods + select},
        {"select " + in + " --what", "unknown option '--what'" + select},
        {"select " + in + " --qiet", "unknown option '--qiet' (did you mean --quiet?)" + select},
        {"edges " + in, "edges needs -o OUT.png; try varno edges --help"},
        {"edges " + in + " -o " + out + " --smaler-png", "unknown option '--smaler-png' (did you mean --smaller-png?); try varno edges --help"},
        {"select " + in + " " + in + " -o " + out, "several pictures need -o DIRECTORY/" + select},
        {"sample", "sample needs an output file name; try varno sample --help"},
        {"sample " + out + " --sede 2", "unknown option '--sede' (did you mean --seed?); try varno sample --help"},
        {"select " + in + " -j 0", "-j takes a number of pictures at once, 1..64" + select},
        {"select " + in + " " + in + " --record r.txt", "--record takes one input picture" + select},
        {"select " + in + " --combine union", "--combine takes replace, add, subtract or intersect, not 'union'" + select},
        {"select " + in + " --threads 65", "--threads takes a whole number 1..64, not '65'" + select},
        {"edges " + in + " -o " + out + " --threads 2x", "--threads takes a whole number 1..64, not '2x'; try varno edges --help"},
        {"select " + in + " -o " + out, "the environment variable VARNOCKETILE_THREADS is '0'; it takes a whole number of threads, 1..64 (or --threads N)" + select, "0"},
        {"edges " + in + " -o " + out, "the environment variable VARNOCKETILE_THREADS is '100'; it takes a whole number of threads, 1..64 (or --threads N); try varno edges --help", "100"},
        {"select " + in + " " + in + " -o " + dir + " --play " + method9, "cannot play '" + method9 + "': its method 9 is not one of 3..7" + select},
        {"select " + in + " -o " + out + " --play " + radius7, "cannot play '" + radius7 + "': its radius 7.5 is not one of 1..3" + select},
        {"select " + in + " -o " + out + " --play " + good + " -r 2", "--play cannot go with -m or -r: the action holds the method and the radius" + select},
    };
    for (const Case& c : cases) {
        hosttest::WriteBytes(drive.Path("VEXAlog.txt"), {});
        if (c.threads) setenv("VARNOCKETILE_THREADS", c.threads, 1);
        const Outcome outcome = Varno(drive, c.line);
        unsetenv("VARNOCKETILE_THREADS");
        EXPECT_EQ(outcome.status, 2) << c.line;
        EXPECT_EQ(outcome.err, "varno: " + c.err + "\n") << c.line;
        EXPECT_EQ(outcome.out, "") << c.line;
        EXPECT_FALSE(hosttest::Exists(out) || hosttest::Exists(dir) || hosttest::Exists(drive.Path("QUENpref.xxx"))) << c.line;
        EXPECT_TRUE(hosttest::ReadBytes(drive.Path("VEXAlog.txt")).empty()) << c.line;
    }
    EXPECT_EQ(Varno(drive, "").err.rfind("usage: varno select", 0), 0u);  // no arguments: the usage
    // Help: all of it, or one command's, on stdout.
    const struct {
        const char *line, *usage;
        bool select;  // select's options are explained
    } helps[] = {{"--help", "usage: varno select", true}, {"select --help", "usage: varno select", true},
                 {"edges -h", "usage: varno edges", false}, {"sample x.png --help", "usage: varno sample", false}};
    for (const auto& help : helps) {
        const Outcome outcome = Varno(drive, help.line);
        EXPECT_EQ(outcome.status, 0) << help.line;
        EXPECT_EQ(outcome.out.rfind(help.usage, 0), 0u) << help.line << ": " << outcome.out;
        EXPECT_EQ(outcome.out.find("--combine MODE ") != std::string::npos, help.select) << help.line;
    }
    Outcome outcome = Varno(drive, "--version");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "varno 1.0.0\n");
}

TEST(VarnoProgram, RecordThenPlayBack) {
    DriveC drive;
    const std::string picture = drive.Temp("pic.png"), action = drive.Temp("action.txt");
    ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 60x40 --seed 4").status, 0);
    Outcome outcome = Varno(drive, "select " + Quote(picture) + " -m traditional -r 3 --record " + Quote(action));
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    // Default output name: the input's stem with "-selection.png".
    const std::string first = drive.Temp("pic-selection.png");
    EXPECT_EQ(outcome.out, "varno: new selection written to " + first + "\n");
    const std::vector<uint8_t> text = hosttest::ReadBytes(action);
    EXPECT_EQ(std::string(text.begin(), text.end()), "varno action 1\nEdgM enum rB45 3\nedgR long 3\n");

    // Preferences gone: the action alone brings the same selection back.
    hosttest::Remove(drive.Path("QUENpref.xxx"));
    const std::string second = drive.Temp("second.png");
    outcome = Varno(drive, "select " + Quote(picture) + " --play " + Quote(action) + " -o " + Quote(second) + " --quiet");
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(GreyPlane(second), GreyPlane(first));

    hosttest::WriteBytes(action, {'x'});
    outcome = Varno(drive, "select " + Quote(picture) + " --play " + Quote(action) + " -o " + Quote(drive.Temp("t.png")));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("cannot play"), std::string::npos);
    EXPECT_FALSE(hosttest::Exists(drive.Temp("t.png")));
}

TEST(VarnoProgram, EdgesWritesTheMethodsOwnPicture) {
    DriveC drive;
    const std::string picture = drive.Temp("pic.png"), output = drive.Temp("edges.png");
    ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 50x30").status, 0);
    const Outcome outcome = Varno(drive, "edges " + Quote(picture) + " -o " + Quote(output) + " -m variable -r 3 --quiet");
    ASSERT_EQ(outcome.status, 0) << outcome.err;

    Document source, edges;
    ASSERT_EQ(varno::ReadImageFile(picture, &source), "");
    ASSERT_EQ(varno::ReadImageFile(output, &edges), "");
    ASSERT_EQ(edges.mode, 3) << "colour stays colour";
    // The same method run here directly on the same pixels.
    ImageBuffer* image = nullptr;
    ASSERT_EQ(CreateImageBuffer("edges test", 50, 30, 3, &image), 0);
    std::vector<uint8_t> row(150);
    for (int32_t r = 0; r < 30; ++r) {
        for (int32_t c = 0; c < 150; ++c) row[size_t(c)] = source.channels8[size_t(c % 3)][size_t(r * 50 + c / 3)];
        WriteBufferRow(image, 0, r, 150, row.data());
    }
    ASSERT_EQ(RunEdgeMethod(7, 3, image, nullptr, 0), 0);
    for (int32_t r = 0; r < 30; ++r) {
        ReadBufferRow(image, 0, r, 150, row.data());
        for (int32_t c = 0; c < 150; ++c)
            ASSERT_EQ(row[size_t(c)], edges.channels8[size_t(c % 3)][size_t(r * 50 + c / 3)]) << r << "," << c;
    }
    DisposeImageBuffer(image);
}

// The plug-in's new selection replaces the current one; --combine has varno combine the two.
TEST(VarnoProgram, ASelectionPictureIsTheCurrentSelection) {
    DriveC drive;
    Document document = varno::MakeTestDocument(3, 40, 30, 2);
    const std::vector<uint8_t> selection = varno::MakeTestSelection(40, 30);
    std::vector<uint8_t> rgb(40 * 30 * 3), bytes;
    for (size_t i = 0; i < 40 * 30; ++i)
        for (size_t c = 0; c < 3; ++c) rgb[i * 3 + c] = document.channels8[c][i];
    const std::string picture = drive.Temp("pic.png"), mask = drive.Temp("sel.png"), output = drive.Temp("out.png");
    ASSERT_EQ(varno::EncodeImage(picture, 40, 30, 3, rgb.data(), &bytes), "");
    hosttest::WriteBytes(picture, bytes);
    ASSERT_EQ(varno::EncodeImage(mask, 40, 30, 1, selection.data(), &bytes), "");
    hosttest::WriteBytes(mask, bytes);
    std::string error;
    ASSERT_TRUE(varno::SetSelection(&document, selection, &error)) << error;
    const std::vector<uint8_t> edges = LibraryMask(document, 3, 1);
    const struct {
        const char* combine;
        int (*pixel)(int current, int edge);
    } cases[] = {
        {"", [](int, int edge) { return edge; }},
        {" --combine replace", [](int, int edge) { return edge; }},
        {" --combine add", [](int current, int edge) { return std::max(current, edge); }},
        {" --combine subtract", [](int current, int edge) { return std::min(current, 255 - edge); }},
        {" --combine intersect", [](int current, int edge) { return std::min(current, edge); }},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Varno(drive, "select " + Quote(picture) + " --selection " + Quote(mask) + " -o " + Quote(output) +
                                                 " -m 3 --quiet" + c.combine);
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        std::vector<uint8_t> expected(edges.size());
        for (size_t i = 0; i < edges.size(); ++i) expected[i] = uint8_t(c.pixel(selection[i], edges[i]));
        EXPECT_EQ(GreyPlane(output), expected) << c.combine;
    }
}

// -r with a method that takes no radius (from -m or from the remembered settings) is one warning;
// the methods' names go in any case; --threads overrides a VARNOCKETILE_THREADS varno would refuse.
TEST(VarnoProgram, OptionsAreHonouredOrWarnedAbout) {
    DriveC drive;
    const std::string picture = drive.Temp("pic.png"), output = drive.Temp("out.png");
    ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 30x20").status, 0);
    Document document;
    ASSERT_EQ(varno::ReadImageFile(picture, &document), "");
    const std::string noEffect = "varno: warning: -r 1 has no effect: the method is ", only = ", and only Variable width takes a radius\n";
    const struct {
        const char *command, *options;
        std::string err;
        int32_t method, radius;  // what ran
    } cases[] = {
        {"select", "-m 'Fine detail' -r 1 --threads 1", noEffect + "Fine detail" + only, 6, 1},
        {"select", "-r 1 --threads 2", noEffect + "Fine detail" + only, 6, 1},
        {"select", "-m VARIABLE -r 1 --threads 64", "", 7, 1},
        {"select", "-m 'skinny LINES' --threads 3", "", 4, 1},
        {"edges", "-m Smoother -r 1 --threads 64", noEffect + "Smoother" + only, 0, 0},
    };
    setenv("VARNOCKETILE_THREADS", "many", 1);
    for (const auto& c : cases) {
        const Outcome outcome = Varno(drive, c.command + (" " + Quote(picture)) + " -o " + Quote(output) + " --quiet " + c.options);
        EXPECT_EQ(outcome.status, 0) << c.options;
        EXPECT_EQ(outcome.err, c.err) << c.options;
        if (c.method) {
            EXPECT_EQ(GreyPlane(output), LibraryMask(document, c.method, c.radius)) << c.options;
        }
    }
    unsetenv("VARNOCKETILE_THREADS");
}

TEST(VarnoProgram, SmallerPngHoldsTheSameSelection) {
    DriveC drive;
    const std::string picture = drive.Temp("pic.png"), fast = drive.Temp("fast.png"), small = drive.Temp("small.png");
    ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 300x200").status, 0);
    ASSERT_EQ(Varno(drive, "select " + Quote(picture) + " -o " + Quote(fast) + " -m fine -r 1 --quiet").status, 0);
    ASSERT_EQ(Varno(drive, "select " + Quote(picture) + " -o " + Quote(small) + " -m fine -r 1 --smaller-png --quiet").status, 0);
    EXPECT_EQ(GreyPlane(small), GreyPlane(fast));
    EXPECT_LT(hosttest::ReadBytes(small).size(), hosttest::ReadBytes(fast).size());

    // A batch compresses its outputs the same way: byte for byte the single picture's file.
    const std::string twin = drive.Temp("twin.png"), out = drive.Temp("batch/");
    hosttest::WriteBytes(twin, hosttest::ReadBytes(picture));
    const Outcome batch = Varno(drive, "select " + Quote(picture) + " " + Quote(twin) + " -o " + Quote(out) +
                                           " -m fine -r 1 -j 2 --smaller-png --quiet");
    ASSERT_EQ(batch.status, 0) << batch.err;
    for (const char* name : {"pic-selection.png", "twin-selection.png"})
        EXPECT_EQ(hosttest::ReadBytes(out + name), hosttest::ReadBytes(small)) << name;
}

// "-" as IN reads standard input, "-o -" writes standard output: the bytes a file would get and
// nothing else; a TIFF selection holds the PNG one.
TEST(VarnoProgram, StandardInputAndOutputCarryTheFilesBytes) {
    DriveC drive;
    const std::string in = Quote(drive.Temp("in.png")), tif = Quote(drive.Temp("in.tif")), f = drive.Temp("f");
    const std::string choice = " -m fine";
    ASSERT_EQ(Varno(drive, "sample " + in + " --size 90x60").status, 0);
    ASSERT_EQ(Varno(drive, "select " + in + " -o " + tif + choice).status, 0);
    struct Case {
        std::string file, streams;  // one run with its pictures in files, and through the streams
        const char* written;        // the file the first writes
    };
    const Case cases[] = {
        {"select " + in + " -o " + f + ".png" + choice, "select - -o -" + choice + " <" + in, ".png"},
        {"select " + in + " -o " + f + ".tif" + choice, "select - -o - --format tiff" + choice + " <" + in, ".tif"},
        {"select " + tif + " -o " + f + ".bmp" + choice, "select -o - --format bmp" + choice + " -- - <" + tif, ".bmp"},
        {"edges " + in + " -o " + f + ".tiff", "edges - -o - --format tif <" + in, ".tiff"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Varno(drive, c.file).status, 0) << c.file;
        const Outcome outcome = Varno(drive, c.streams);
        EXPECT_EQ(outcome.status, 0) << c.streams;
        EXPECT_EQ(outcome.err, "") << c.streams;
        EXPECT_EQ(std::vector<uint8_t>(outcome.out.begin(), outcome.out.end()), hosttest::ReadBytes(f + c.written)) << c.streams;
    }
    EXPECT_EQ(GreyPlane(drive.Temp("in.tif")), GreyPlane(f + ".png"));
    const std::pair<const char*, const char*> mistakes[] = {
        {"select -", "a picture from standard input needs -o OUT or -o -"},
        {"select - a.png -o d/", "standard input ('-') is one picture alone"},
        {"edges a.png -o x.png --format tiff", "--format is for -o -"},
        {"select a.png -o - --format gif", "--format takes png, tiff, bmp or jpeg"},
    };
    for (const auto& [line, reason] : mistakes) {
        const Outcome outcome = Varno(drive, line);
        EXPECT_EQ(outcome.status, 2) << line;
        EXPECT_EQ(outcome.err.rfind(std::string("varno: ") + reason, 0), 0u) << line << ": " << outcome.err;
    }
}

TEST(VarnoProgram, DamagedFilesEndTheRunWithOneLine) {
    DriveC drive;
    const std::string output = drive.Temp("out.png");
    for (const hosttest::DamagedFile& f : hosttest::DamagedFiles()) {
        const std::string path = drive.Temp(f.name);
        hosttest::WriteBytes(path, f.bytes);
        const Outcome outcome = Varno(drive, "select " + Quote(path) + " -o " + Quote(output));
        EXPECT_EQ(outcome.status, 1) << f.what;
        EXPECT_EQ(outcome.err, "varno: cannot read '" + path + "': " + f.message + "\n") << f.what;
        EXPECT_FALSE(hosttest::Exists(output)) << f.what;
    }
}

// Not in sanitizer builds, where the sanitizer's own memory would be measured.
#ifndef __SANITIZE_ADDRESS__
TEST(VarnoProgram, PeakMemoryStaysWithinThreeTimesThePicture) {
    DriveC drive;
    const std::string small = drive.Temp("small.png"), output = drive.Temp("out.png");
    ASSERT_EQ(Varno(drive, "sample " + Quote(small) + " --size 16x16").status, 0);
    const int64_t base = PeakMemoryOfSelect(small, output);  // the program and the plug-in themselves
    ASSERT_GT(base, 0);

    // 8-bit RGB as PNG; 16-bit RGB as a PNG whose samples are the 8-bit ones times 257.
    const int32_t w = 3000, h = 2000;
    const std::string narrow = drive.Temp("narrow.png"), wide = drive.Temp("wide.png");
    {
        const std::vector<uint8_t> rgb = varno::DrawSample(w, h, 2);
        std::vector<uint8_t> bytes;
        ASSERT_EQ(varno::EncodeImage(narrow, w, h, 3, rgb.data(), &bytes), "");
        hosttest::WriteBytes(narrow, bytes);
        std::vector<hosttest::Bytes> rows(static_cast<size_t>(h));
        for (size_t y = 0; y < size_t(h); ++y)
            for (size_t i = 0; i < size_t(w) * 3; ++i) rows[y].insert(rows[y].end(), 2, rgb[y * size_t(w) * 3 + i]);
        hosttest::WriteBytes(wide, hosttest::PngFile(uint32_t(w), uint32_t(h), 16, 2, rows));
    }
    for (const auto& [path, raw] : {std::pair{narrow, int64_t(w) * h * 3}, std::pair{wide, int64_t(w) * h * 6}}) {
        const int64_t peak = PeakMemoryOfSelect(path, output);
        ASSERT_GT(peak, 0) << path;
        EXPECT_LE(double(peak - base), 3.0 * double(raw)) << path << ": peak " << peak << " bytes, the program alone " << base;
    }
    // No damaged or hostile file of the readers' tests, each under 1 MB, costs more than 300 MB.
    for (const hosttest::DamagedFile& f : hosttest::DamagedFiles()) {
        hosttest::WriteBytes(drive.Temp(f.name), f.bytes);
        const int64_t peak = PeakMemoryOfSelect(drive.Temp(f.name), output, 1);
        EXPECT_TRUE(f.bytes.size() < 1u << 20 && peak > 0 && peak < int64_t(300) << 20) << f.what << ": " << peak;
    }
}
#endif

}  // namespace
