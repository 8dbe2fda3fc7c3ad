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

double MedianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2.0;
}

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
    measurement.state = Measurement::kMeasured;
    measurement.seconds = MedianOf(found->second);
    return measurement;
}

void ResultBook::AddFigure(const std::string& name, const std::string& key, double value) {
    figures[name + "|" + key].push_back(value);
}

void ResultBook::SetFigureMedian(const std::string& name, const std::string& key, double value) {
    figureMedians[name + "|" + key] = value;
}

bool ResultBook::LookupFigure(const std::string& name, const std::string& key, double* value) const {
    if (errors.count(name)) return false;
    if (auto median = figureMedians.find(name + "|" + key); median != figureMedians.end()) {
        *value = median->second;
        return true;
    }
    auto found = figures.find(name + "|" + key);
    if (found == figures.end() || found->second.empty()) return false;
    *value = MedianOf(found->second);
    return true;
}

size_t ResultBook::Count() const {
    std::vector<std::string> names;
    for (const auto& entry : repetitions) names.push_back(entry.first);
    for (const auto& entry : medians) names.push_back(entry.first);
    for (const auto& entry : errors) names.push_back(entry.first);
    std::sort(names.begin(), names.end());
    return size_t(std::unique(names.begin(), names.end()) - names.begin());
}

namespace {

// Lines of cells, columns padded to their widest cell, text left- and numbers right-aligned.
std::string Columns(const std::vector<std::vector<std::string>>& cells, const std::vector<bool>& rightAligned) {
    std::vector<size_t> widths(cells[0].size(), 0);
    for (const auto& cellRow : cells)
        for (size_t c = 0; c < cellRow.size(); ++c) widths[c] = std::max(widths[c], cellRow[c].size());
    std::string out;
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

std::string Milliseconds(const Measurement& m) {
    if (m.state == Measurement::kMeasured) return Number(m.seconds * 1e3);
    return m.state == Measurement::kFailed ? "failed" : "-";
}

}  // namespace

std::string FormatTable(const TableHeading& heading, const std::vector<TableRow>& rows, const ResultBook& book) {
    const double megapixels = double(heading.width) * double(heading.height) / 1e6;
    std::string out;
    char line[320];
    std::snprintf(line, sizeof line, "%s%s%d x %d pixels (%.1f MP), one thread, median of %d repetition%s; peers: %s\n",
                  heading.picture.c_str(), heading.picture.empty() ? "" : ", ", int(heading.width),
                  int(heading.height), megapixels, int(heading.repetitions), heading.repetitions == 1 ? "" : "s",
                  heading.peerLibrary.empty() ? "none in this build" : heading.peerLibrary.c_str());
    out += line;

    std::vector<std::vector<std::string>> cells;
    cells.push_back({"case", "ms", "MP/s", "whole ms", "peak MB", "peer", "peer ms", "ratio", "target", "verdict"});
    for (const TableRow& row : rows) {
        const Measurement method = book.Lookup(row.method);
        const Measurement peer = row.peerLabel.empty() ? Measurement() : book.Lookup(row.peer);
        std::string rate = "-", whole = "-", peak = "-", ratio = "-", verdict = "-";
        if (method.state == Measurement::kMeasured && method.seconds > 0) rate = Number(megapixels / method.seconds);
        double figure = 0.0;
        if (row.execute && book.LookupFigure(row.method, kWholeSeconds, &figure)) whole = Number(figure * 1e3);
        if (row.execute && book.LookupFigure(row.method, kPeakBytes, &figure) && figure >= 0)
            peak = Format("%.0f", figure / 1048576.0);
        if (method.state == Measurement::kMeasured && peer.state == Measurement::kMeasured && peer.seconds > 0) {
            const double value = method.seconds / peer.seconds;
            ratio = Format("%.2f", value);
            if (row.target > 0) verdict = value <= row.target ? "met" : "missed";
        }
        if (method.state == Measurement::kFailed || peer.state == Measurement::kFailed) verdict = "failed";
        cells.push_back({row.label, Milliseconds(method), rate, whole, peak, row.peerLabel.empty() ? "-" : row.peerLabel,
                         Milliseconds(peer), ratio, row.target > 0 ? Format("<= %.2f", row.target) : "-", verdict});
    }
    return out + Columns(cells, {false, true, true, true, true, false, true, true, true, false});
}

std::string FormatBudget(const std::vector<BudgetRow>& rows, const ResultBook& book) {
    std::vector<std::vector<std::string>> cells;
    cells.push_back({"Execute", "own ms", "method ms", "copy ms", "budget ms", "over", "verdict", "fresh copy ms"});
    for (const BudgetRow& row : rows) {
        const Measurement own = book.Lookup(row.execute), method = book.Lookup(row.method), copy = book.Lookup(row.copy);
        std::string budget = "-", over = "-", verdict = "-";
        if (method.state == Measurement::kMeasured && copy.state == Measurement::kMeasured) {
            const double limit = method.seconds + 2.0 * copy.seconds;
            budget = Number(limit * 1e3);
            if (own.state == Measurement::kMeasured) {
                over = own.seconds > limit ? Number((own.seconds - limit) * 1e3) : "0";
                verdict = own.seconds <= limit ? "met" : "missed";
            }
        }
        if (own.state == Measurement::kFailed || method.state == Measurement::kFailed ||
            copy.state == Measurement::kFailed)
            verdict = "failed";
        const std::string fresh = row.fresh.empty() ? "-" : Milliseconds(book.Lookup(row.fresh));
        cells.push_back({row.label, Milliseconds(own), Milliseconds(method), Milliseconds(copy), budget, over, verdict, fresh});
    }
    return Columns(cells, {false, true, true, true, true, true, false, true});
}

}  // namespace varnobench
