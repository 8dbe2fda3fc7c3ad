// The benchmark's size option, its result book and its closing table.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_table.h"

namespace varnobench {
namespace {

TEST(PictureSize, ReadsWidthByHeightWithinTheMethodsLimits) {
    struct Case {
        const char* text;
        bool ok;
        int32_t width, height;
    };
    const Case cases[] = {
        {"6000x4000", true, 6000, 4000}, {"300x200", true, 300, 200},    {"1x1", true, 1, 1},
        {"32767x7", true, 32767, 7},     {"7x32767", true, 7, 32767},    {"32768x7", false, 0, 0},
        {"7x32768", false, 0, 0},        {"0x5", false, 0, 0},           {"5x0", false, 0, 0},
        {"x5", false, 0, 0},             {"5x", false, 0, 0},            {"5", false, 0, 0},
        {"5x5x5", false, 0, 0},          {"-3x4", false, 0, 0},          {" 3x4", false, 0, 0},
        {"3X4", false, 0, 0},            {"4294967299x1", false, 0, 0},  {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t width = -1, height = -1;
        EXPECT_EQ(ParsePictureSize(c.text, &width, &height), c.ok) << c.text;
        EXPECT_EQ(width, c.ok ? c.width : -1) << c.text;
        EXPECT_EQ(height, c.ok ? c.height : -1) << c.text;
    }
}

TEST(ResultBook, TakesTheMedianOfTheRepetitionsUnlessTheLibraryGaveOne) {
    ResultBook book;
    for (double t : {0.3, 0.1, 0.2}) book.AddRepetition("odd", t);
    for (double t : {0.4, 0.1, 0.3, 0.2}) book.AddRepetition("even", t);
    book.AddRepetition("given", 9.0);
    book.SetMedian("given", 0.5);
    book.SetMedian("median only", 0.7);

    EXPECT_DOUBLE_EQ(book.Lookup("odd").seconds, 0.2);
    EXPECT_DOUBLE_EQ(book.Lookup("even").seconds, 0.25);
    EXPECT_DOUBLE_EQ(book.Lookup("given").seconds, 0.5);
    EXPECT_DOUBLE_EQ(book.Lookup("median only").seconds, 0.7);
    for (const char* name : {"odd", "even", "given", "median only"})
        EXPECT_EQ(book.Lookup(name).state, Measurement::kMeasured) << name;
    EXPECT_EQ(book.Lookup("never ran").state, Measurement::kMissing);
    EXPECT_EQ(book.Count(), 4u);
    EXPECT_FALSE(book.AnyFailed());
}

TEST(ResultBook, AFailureOutweighsEveryTimeAndKeepsItsFirstMessage) {
    ResultBook book;
    book.AddRepetition("m", 0.1);
    book.SetMedian("m", 0.1);
    book.SetFailed("m", "the method returned -108");
    book.SetFailed("m", "the method left the picture unchanged");
    const Measurement m = book.Lookup("m");
    EXPECT_EQ(m.state, Measurement::kFailed);
    EXPECT_EQ(m.error, "the method returned -108");
    EXPECT_TRUE(book.AnyFailed());
    EXPECT_EQ(book.Count(), 1u);
}

// The cells of a table line: columns are separated by two spaces or more, cells by at most one.
std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    size_t spaces = 0;
    for (char c : line) {
        if (c == ' ') {
            ++spaces;
            continue;
        }
        if (spaces >= 2 && !cell.empty()) cells.push_back(cell), cell.clear();
        else if (spaces == 1 && !cell.empty()) cell += ' ';
        spaces = 0;
        cell += c;
    }
    if (!cell.empty()) cells.push_back(cell);
    return cells;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(Table, ShowsTimesRatesRatiosAndVerdicts) {
    ResultBook book;
    book.SetMedian("a", 0.5), book.SetMedian("a peer", 2.0);      // ratio 0.25, target 0.25: met
    book.SetMedian("b", 0.6), book.SetMedian("b peer", 2.0);      // ratio 0.30, target 0.25: missed
    book.SetMedian("c", 0.00125);                                 // peer never ran
    book.SetMedian("d", 1.0);                                     // no peer at all
    book.SetFailed("e", "the method returned -128"), book.SetMedian("e peer", 1.0);
    book.SetMedian("f", 3.0), book.SetMedian("f peer", 1.5);      // ratio 2.00, no target
    book.SetMedian("g", 1.0), book.SetFailed("g peer", "crashed");

    const std::vector<TableRow> rows = {
        {"A, RGB", "a", "peer one", "a peer", 0.25}, {"B, RGB", "b", "peer two", "b peer", 0.25},
        {"C, RGB", "c", "peer three", "c peer", 0.5}, {"D, grey", "d", "", "", 0.0},
        {"E, RGB", "e", "peer five", "e peer", 1.0},  {"F, grey", "f", "peer six", "f peer", 0.0},
        {"G, RGB", "g", "peer seven", "g peer", 1.0},
    };
    TableHeading heading;
    heading.width = 6000, heading.height = 4000, heading.repetitions = 5, heading.peerLibrary = "Lib 1.2";
    const std::vector<std::string> lines = Lines(FormatTable(heading, rows, book));
    ASSERT_EQ(lines.size(), 2 + rows.size());
    EXPECT_EQ(lines[0], "6000 x 4000 pixels (24.0 MP), one thread, median of 5 repetitions; peers: Lib 1.2");

    const std::vector<std::vector<std::string>> expected = {
        {"case", "ms", "MP/s", "whole ms", "peak MB", "peer", "peer ms", "ratio", "target", "verdict"},
        {"A, RGB", "500.0", "48.0", "-", "-", "peer one", "2000.0", "0.25", "<= 0.25", "met"},
        {"B, RGB", "600.0", "40.0", "-", "-", "peer two", "2000.0", "0.30", "<= 0.25", "missed"},
        {"C, RGB", "1.25", "19200.0", "-", "-", "peer three", "-", "-", "<= 0.50", "-"},
        {"D, grey", "1000.0", "24.0", "-", "-", "-", "-", "-", "-", "-"},
        {"E, RGB", "failed", "-", "-", "-", "peer five", "1000.0", "-", "<= 1.00", "failed"},
        {"F, grey", "3000.0", "8.00", "-", "-", "peer six", "1500.0", "2.00", "-", "-"},
        {"G, RGB", "1000.0", "24.0", "-", "-", "peer seven", "failed", "-", "<= 1.00", "failed"},
    };
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(Cells(lines[i + 1]), expected[i]) << lines[i + 1];

    // Every column starts at the same place on every line.
    const size_t peerColumn = lines[1].find("peer");
    for (size_t i = 2; i < lines.size(); ++i)
        if (lines[i].find("peer") != std::string::npos) {
            EXPECT_EQ(lines[i].find("peer"), peerColumn) << lines[i];
        }
}

TEST(Table, HeadingSaysWhenThereAreNoPeersAndCountsOneRepetition) {
    TableHeading heading;
    heading.width = 300, heading.height = 200, heading.repetitions = 1;
    ResultBook book;
    book.AddRepetition("m", 0.001);
    const std::vector<std::string> lines = Lines(FormatTable(heading, {{"M, RGB", "m", "", "", 0.0}}, book));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "300 x 200 pixels (0.1 MP), one thread, median of 1 repetition; peers: none in this build");
    EXPECT_EQ(Cells(lines[2]), (std::vector<std::string>{"M, RGB", "1.00", "60.0", "-", "-", "-", "-", "-", "-", "-"}));
}

TEST(Table, ExecuteRowsShowTheWholeCallAndThePeakMemoryOfTheirRun) {
    ResultBook book;
    // Own share 40 ms of a 50 ms call, 96 MiB at the peak; the median of three repetitions counts.
    book.SetMedian("x", 0.040), book.SetMedian("x peer", 0.100);
    for (double whole : {0.052, 0.050, 0.049}) book.AddFigure("x", kWholeSeconds, whole);
    book.SetFigureMedian("x", kPeakBytes, 96.0 * 1048576.0);
    book.SetMedian("y", 0.010);  // an Execute row whose figures are missing
    TableHeading heading;
    heading.width = 1000, heading.height = 1000, heading.picture = "mosaic of photographs, RGB";
    const std::vector<std::string> lines = Lines(FormatTable(
        heading, {{"X", "x", "peer", "x peer", 0.35, true}, {"Y", "y", "", "", 0.0, true}}, book));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("mosaic of photographs, RGB, 1000 x 1000 pixels", 0), 0u) << lines[0];
    EXPECT_EQ(Cells(lines[2]),
              (std::vector<std::string>{"X", "40.0", "25.0", "50.0", "96", "peer", "100.0", "0.40", "<= 0.35", "missed"}));
    EXPECT_EQ(Cells(lines[3]), (std::vector<std::string>{"Y", "10.0", "100.0", "-", "-", "-", "-", "-", "-", "-"}));
}

TEST(Budget, HoldsTheOwnShareAgainstTheMethodAndTwoCopies) {
    ResultBook book;
    book.SetMedian("copy", 0.008);
    book.SetMedian("fresh", 0.019);
    book.SetMedian("run a", 0.030), book.SetMedian("alone a", 0.015);  // budget 31 ms: met
    book.SetMedian("run b", 0.040), book.SetMedian("alone b", 0.020);  // budget 36 ms: 4 over
    book.SetFailed("run c", "crashed"), book.SetMedian("alone c", 0.010);
    book.SetMedian("run d", 0.010);                                     // method never ran
    // The fresh copy is shown beside the verdict and never enters the budget.
    const std::vector<std::string> lines = Lines(FormatBudget({{"A", "run a", "alone a", "copy", "fresh"},
                                                               {"B", "run b", "alone b", "copy", "fresh"},
                                                               {"C", "run c", "alone c", "copy", "fresh gone"},
                                                               {"D", "run d", "alone d", "copy", ""}},
                                                              book));
    ASSERT_EQ(lines.size(), 5u);
    const std::vector<std::vector<std::string>> expected = {
        {"Execute", "own ms", "method ms", "copy ms", "budget ms", "over", "verdict", "fresh copy ms"},
        {"A", "30.0", "15.0", "8.00", "31.0", "0", "met", "19.0"},
        {"B", "40.0", "20.0", "8.00", "36.0", "4.00", "missed", "19.0"},
        {"C", "failed", "10.0", "8.00", "26.0", "-", "failed", "-"},
        {"D", "10.0", "-", "8.00", "-", "-", "-", "-"},
    };
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(Cells(lines[i]), expected[i]) << lines[i];
}

}  // namespace
}  // namespace varnobench
