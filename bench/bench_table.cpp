// The benchmark's bookkeeping and its closing table.
#include "bench/bench_table.h"

#include <algorithm>
#include <cstdio>

namespace varnobench {

namespace {

bool ParseSide(const std::string& text, int32_t* side) {
    if (text.empty() || text.size() > 5) return false;
    int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kLargestSide) return false;
    *side = value;
    return true;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Times in milliseconds and rates: two decimals below 10, one above.
std::string Number(double value) { return Format(value < 10.0 ? "%.2f" : "%.1f", value); }

std::string Pad(const std::string& text, size_t width, bool right) {
    if (text.size() >= width) return text;
    const std::string fill(width - text.size(), ' ');
    return right ? fill + text : text + fill;
}

}  // namespace

bool ParsePictureSize(const std::string& text, int32_t* width, int32_t* height) {
    const size_t cross = text.find('x');
    if (cross == std::string::npos) return false;
    int32_t w = 0, h = 0;
    if (!ParseSide(text.substr(0, cross), &w) || !ParseSide(text.substr(cross + 1), &h)) return false;
    *width = w;
    *height = h;
    return true;
}

void ResultBook::AddRepetition(const std::string& name, double secondsPerIteration) {
    repetitions[name].push_back(secondsPerIteration);
}

void ResultBook::SetMedian(const std::string& name, double secondsPerIteration) { medians[name] = secondsPerIteration; }

void ResultBook::SetFailed(const std::string& name, const std::string& message) {
    errors.emplace(name, message);  // the first failure is the one worth reading
}

Measurement ResultBook::Lookup(const std::string& name) const {
    Measurement measurement;
    if (auto error = errors.find(name); error != errors.end()) {
        measurement.state = Measurement::kFailed;
        measurement.error = error->second;
        return measurement;
    }
    if (auto median = medians.find(name); median != medians.end()) {
        measurement.state = Measurement::kMeasured;
        measurement.seconds = median->second;
        return measurement;
    }
    auto found = repetitions.find(name);
    if (found == repetitions.end() || found->second.empty()) return measurement;
    std::vector<double> times = found->second;
    std::sort(times.begin(), times.end());
    const size_t half = times.size() / 2;
    measurement.state = Measurement::kMeasured;
    measurement.seconds = times.size() % 2 ? times[half] : (times[half - 1] + times[half]) / 2.0;
    return measurement;
}

size_t ResultBook::Count() const {
    std::vector<std::string> names;
    for (const auto& entry : repetitions) names.push_back(entry.first);
    for (const auto& entry : medians) names.push_back(entry.first);
    for (const auto& entry : errors) names.push_back(entry.first);
    std::sort(names.begin(), names.end());
    return size_t(std::unique(names.begin(), names.end()) - names.begin());
}

std::string FormatTable(const TableHeading& heading, const std::vector<TableRow>& rows, const ResultBook& book) {
    const double megapixels = double(heading.width) * double(heading.height) / 1e6;
    std::string out;
    char line[256];
    std::snprintf(line, sizeof line, "%d x %d pixels (%.1f MP), one thread, median of %d repetition%s; peers: %s\n",
                  int(heading.width), int(heading.height), megapixels, int(heading.repetitions),
                  heading.repetitions == 1 ? "" : "s",
                  heading.peerLibrary.empty() ? "none in this build" : heading.peerLibrary.c_str());
    out += line;

    std::vector<std::vector<std::string>> cells;
    cells.push_back({"case", "ms", "MP/s", "peer", "peer ms", "ratio", "target", "verdict"});
    for (const TableRow& row : rows) {
        const Measurement method = book.Lookup(row.method);
        const Measurement peer = row.peerLabel.empty() ? Measurement() : book.Lookup(row.peer);
        std::string time = "-", rate = "-", peerTime = "-", ratio = "-", verdict = "-";
        if (method.state == Measurement::kMeasured) {
            time = Number(method.seconds * 1e3);
            if (method.seconds > 0) rate = Number(megapixels / method.seconds);
        } else if (method.state == Measurement::kFailed) {
            time = "failed";
        }
        if (peer.state == Measurement::kMeasured) {
            peerTime = Number(peer.seconds * 1e3);
        } else if (peer.state == Measurement::kFailed) {
            peerTime = "failed";
        }
        if (method.state == Measurement::kMeasured && peer.state == Measurement::kMeasured && peer.seconds > 0) {
            const double value = method.seconds / peer.seconds;
            ratio = Format("%.2f", value);
            if (row.target > 0) verdict = value <= row.target ? "met" : "missed";
        }
        if (method.state == Measurement::kFailed || peer.state == Measurement::kFailed) verdict = "failed";
        cells.push_back({row.label, time, rate, row.peerLabel.empty() ? "-" : row.peerLabel, peerTime, ratio,
                         row.target > 0 ? Format("<= %.2f", row.target) : "-", verdict});
    }

    std::vector<size_t> widths(cells[0].size(), 0);
    for (const auto& cellRow : cells)
        for (size_t c = 0; c < cellRow.size(); ++c) widths[c] = std::max(widths[c], cellRow[c].size());
    // Text columns (case, peer, verdict) are left-aligned, numbers right-aligned.
    const bool rightAligned[] = {false, true, true, false, true, true, true, false};
    for (const auto& cellRow : cells) {
        std::string text;
        for (size_t c = 0; c < cellRow.size(); ++c) {
            if (c) text += "  ";
            text += Pad(cellRow[c], c + 1 == cellRow.size() ? 0 : widths[c], rightAligned[c]);
        }
        out += text + "\n";
    }
    return out;
}

}  // namespace varnobench
