// The benchmark's thread setting and its table of threaded Execute runs.
#include "bench/bench_threads.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/workers.h"
#include "images/system.h"

namespace varnobench {

namespace {

bool settingGiven = false;
std::string setting;

// The median seconds of `name`, or a negative number when it did not run.
double Median(const ResultBook& book, const std::string& name) {
    if (name.empty()) return -1.0;
    const Measurement m = book.Lookup(name);
    return m.state == Measurement::kMeasured ? m.seconds : -1.0;
}

std::string Milliseconds(double seconds) {
    if (seconds < 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds * 1e3);
    return text;
}

std::string Ratio(double a, double b) {
    if (a < 0 || b <= 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", a / b);
    return text;
}

std::string Verdict(double a, double b, double goal) {
    if (goal <= 0) return "";
    if (a < 0 || b <= 0) return "-";
    return a / b <= goal ? "met" : "missed";
}

}  // namespace

void RememberThreadsSetting() {
    const char* value = std::getenv("VARNOCKETILE_THREADS");
    settingGiven = value != nullptr;
    setting = value ? value : "";
}

void UseThreads(bool all) {
    if (!all) return varno::SetEnvironment("VARNOCKETILE_THREADS", "1");
    varno::SetEnvironment("VARNOCKETILE_THREADS", settingGiven ? setting.c_str() : nullptr);
}

int32_t ThreadsInUse() {
    UseThreads(true);
    return ThreadCount();
}

std::string FormatThreadsTable(int32_t threads, int32_t peerThreads, const std::vector<ThreadsRow>& rows,
                               const ResultBook& book) {
    std::string text;
    char line[480];
    std::snprintf(line, sizeof line,
                  "Execute on 1 and on %d thread(s), the peer on 1 and on %d (its default). host: inside the host's\n"
                  "pixel callbacks; own: the plug-in's share, split into its serial part and its passes in bands;\n"
                  "serial share s of the own share on 1 thread and the speed-up it predicts at 8 and 16 threads:\n",
                  threads, peerThreads);
    text += line;
    const char* format = "  %-30s %7s %7s %7s %7s %7s %7s %7s %6s %-7s %5s %5s %5s %9s %9s %6s %5s %s\n";
    std::snprintf(line, sizeof line, format, "", "host", "1: own", "serial", "banded", "N: own", "serial", "banded",
                  "N/1", "<=0.60", "s", "x8", "x16", "peer 1", "peer dft", "ratio", "goal", "verdict");
    text += line;
    for (const ThreadsRow& row : rows) {
        const double one = Median(book, row.execute), all = Median(book, row.threaded);
        const double peer = Median(book, row.peer), peerAll = Median(book, row.peerAll);
        double host = -1, bandedOne = -1, bandedAll = -1;
        if (!book.LookupFigure(row.execute, kHostSeconds, &host)) host = -1;
        if (!book.LookupFigure(row.execute, kBandedSeconds, &bandedOne)) bandedOne = -1;
        if (!book.LookupFigure(row.threaded, kBandedSeconds, &bandedAll)) bandedAll = -1;
        const double serialOne = one >= 0 && bandedOne >= 0 ? std::max(0.0, one - bandedOne) : -1;
        const double serialAll = all >= 0 && bandedAll >= 0 ? std::max(0.0, all - bandedAll) : -1;
        std::string share = "-", at8 = "-", at16 = "-";
        if (one > 0 && serialOne >= 0) {
            const double s = serialOne / one;
            char value[32];
            std::snprintf(value, sizeof value, "%.2f", s);
            share = value;
            std::snprintf(value, sizeof value, "%.1f", 1.0 / (s + (1 - s) / 8));
            at8 = value;
            std::snprintf(value, sizeof value, "%.1f", 1.0 / (s + (1 - s) / 16));
            at16 = value;
        }
        char goal[16] = "-";
        if (row.goal > 0) std::snprintf(goal, sizeof goal, "%.2f", row.goal);
        std::snprintf(line, sizeof line, format, row.label.c_str(), Milliseconds(host).c_str(),
                      Milliseconds(one).c_str(), Milliseconds(serialOne).c_str(), Milliseconds(bandedOne).c_str(),
                      Milliseconds(all).c_str(), Milliseconds(serialAll).c_str(), Milliseconds(bandedAll).c_str(),
                      Ratio(all, one).c_str(), Verdict(all, one, kThreadsGoal).c_str(), share.c_str(), at8.c_str(),
                      at16.c_str(), Milliseconds(peer).c_str(), Milliseconds(peerAll).c_str(), Ratio(all, peerAll).c_str(),
                      goal, Verdict(all, peerAll, row.goal).c_str());
        text += line;
    }
    return text;
}

}  // namespace varnobench
