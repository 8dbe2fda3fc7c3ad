// The benchmark's bookkeeping and its closing table, kept apart from the timing library so that
// both can be tested on their own.
//
// Contract: ParsePictureSize reads "WIDTHxHEIGHT" (decimal, each 1..kLargestSide, nothing else).
// A ResultBook collects per benchmark name the seconds per iteration of each repetition, the
// median that the timing library computed (when it ran repetitions) and the message of a run that
// failed. Lookup prefers the library's median and otherwise takes the median of the repetitions
// (the mean of the middle two for an even count); a failure outweighs any time. FormatTable prints
// a heading and one line per row: the method's median time in milliseconds and its megapixels per
// second, the peer's median time, the ratio method time / peer time, the row's target and whether
// the ratio met it (ratio <= target). A row of a whole Execute run also shows the whole call's
// time and the peak memory of the run, from figures the book keeps beside the times (the
// repetitions' median, or the library's). FormatBudget holds the plug-in's own share of each
// Execute run against the method alone plus two copies of the document and, last, for reading the
// misses, one copy into a fresh image buffer (made, filled and disposed of: a copy plus the first
// touch of new memory). Columns with nothing to show hold "-"; a failed benchmark shows "failed" in
// its time column and the verdict "failed".
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace varnobench {

// The largest side the plug-in's methods take: the largest a host describes.
constexpr int32_t kLargestSide = 32767;

bool ParsePictureSize(const std::string& text, int32_t* width, int32_t* height);

struct Measurement {
    enum State { kMissing, kFailed, kMeasured };
    State state = kMissing;
    double seconds = 0.0;  // per iteration, when measured
    std::string error;     // when failed
};

struct ResultBook {
    void AddRepetition(const std::string& name, double secondsPerIteration);
    void SetMedian(const std::string& name, double secondsPerIteration);
    void SetFailed(const std::string& name, const std::string& message);
    Measurement Lookup(const std::string& name) const;
    // Figures other than the time, such as a run's peak memory, under a key per benchmark.
    void AddFigure(const std::string& name, const std::string& key, double value);
    void SetFigureMedian(const std::string& name, const std::string& key, double value);
    bool LookupFigure(const std::string& name, const std::string& key, double* value) const;
    bool AnyFailed() const { return !errors.empty(); }
    size_t Count() const;  // names with a time or a failure

    std::map<std::string, std::vector<double>> repetitions;
    std::map<std::string, double> medians;
    std::map<std::string, std::string> errors;
    std::map<std::string, std::vector<double>> figures;  // by "name|key"
    std::map<std::string, double> figureMedians;
};

// Figure keys of a whole Execute run: the whole call, the time inside the host's pixel callbacks
// and the time of the plug-in's passes in bands, in seconds, and the peak memory in bytes.
constexpr const char* kWholeSeconds = "whole_s";
constexpr const char* kHostSeconds = "host_s";
constexpr const char* kBandedSeconds = "banded_s";
constexpr const char* kPeakBytes = "peak_bytes";
inline bool IsExecuteFigure(const std::string& key) {
    return key == kWholeSeconds || key == kHostSeconds || key == kBandedSeconds || key == kPeakBytes;
}

struct TableRow {
    std::string label;      // what was timed, e.g. "Traditional, RGB"
    std::string method;     // the method's benchmark name
    std::string peerLabel;  // the peer operation; empty when the row has none
    std::string peer;       // the peer's benchmark name
    double target = 0.0;    // largest acceptable ratio; 0 when the row has no target
    bool execute = false;   // a whole Execute run: its time is the plug-in's own share
};

struct TableHeading {
    int32_t width = 0;
    int32_t height = 0;
    int32_t repetitions = 1;
    std::string peerLibrary;  // empty when the build has no peers
    std::string picture;      // what the rows ran on, e.g. "mosaic of photographs, RGB"
};

std::string FormatTable(const TableHeading& heading, const std::vector<TableRow>& rows, const ResultBook& book);

struct BudgetRow {
    std::string label;    // the method
    std::string execute;  // the benchmark of its whole Execute run (own share)
    std::string method;   // the method alone
    std::string copy;     // one copy of the document
    std::string fresh;    // one copy into a fresh image buffer, made and disposed of (may be empty)
};

std::string FormatBudget(const std::vector<BudgetRow>& rows, const ResultBook& book);

}  // namespace varnobench
