// The rows of the benchmark, beside their peers.
#include "bench/bench_rows.h"

#include <benchmark/benchmark.h>

#include "bench/bench_cases.h"
#include "edges/methods.h"
#include "params/edge_table.h"

namespace varnobench {

namespace {

// A method alone, or (execute) a whole Execute run with it, beside its peer.
struct Row {
    const char* suffix;  // after the method's name in the table ("Variable width r1")
    const char* key;  // benchmark name before "/PICTURE-rgb" or "/PICTURE-grey"
    int32_t method;
    int32_t radius;
    bool execute;
    const char* peerKey;
    const char* peerLabelRgb;
    const char* peerLabelGrey;  // null: no peer for the grey picture
    double target;              // for the RGB pictures; 0 none
};

const Row kRows[] = {
    {"", "traditional", kMethodTraditional, 0, false, "cv_sobel_magnitude", "per-channel Sobel + magnitude",
     "Sobel + magnitude", 0.12},
    {"", "skinny_lines", kMethodSkinnyLines, 0, false, "cv_canny", "grey + Canny", "Canny", 1.0},
    {"", "smoother", kMethodSmoother, 0, false, "cv_ycrcb_round_trip", "RGB->YCrCb->RGB round trip", nullptr, 1.0},
    {"", "fine_detail", kMethodFineDetail, 0, false, "cv_frei_chen", "Frei-Chen-like composite",
     "Frei-Chen-like composite", 0.2},
    {" r1", "variable_width_r1", kMethodVariableWidth, 1, false, "cv_filter2d_3x3", "3x3 filter2D", "3x3 filter2D", 0.0},
    {" r2", "variable_width_r2", kMethodVariableWidth, 2, false, "cv_filter2d_5x5", "5x5 filter2D", "5x5 filter2D", 0.0},
    {" r3", "variable_width_r3", kMethodVariableWidth, 3, false, "cv_filter2d_7x7", "7x7 filter2D", "7x7 filter2D", 2.0},
    {"", "execute_traditional", kMethodTraditional, 2, true, "cv_sobel_magnitude", "per-channel Sobel + magnitude",
     "Sobel + magnitude", 0.35},
    {"", "execute_skinny_lines", kMethodSkinnyLines, 2, true, "cv_canny", "grey + Canny", "Canny", 1.0},
    {"", "execute_smoother", kMethodSmoother, 2, true, "cv_smoother_composite", "Smoother-like composite",
     "Smoother-like composite", 0.55},
    {"", "execute_fine_detail", kMethodFineDetail, 2, true, "cv_frei_chen", "Frei-Chen-like composite",
     "Frei-Chen-like composite", 0.33},
    {" r3", "execute_variable_width_r3", kMethodVariableWidth, 3, true, "cv_variable_composite",
     "variable-width-like composite", "variable-width-like composite", 0.36},
};

// "Smoother", "Variable width r1", "Execute, Fine detail": the row's label in the tables.
std::string Label(const Row& row) {
    return std::string(row.execute ? "Execute, " : "") + FindEdgeMethod(row.method)->name + row.suffix;
}

}  // namespace

std::vector<TableRow> RegisterRows(Picture* p, bool grey, bool* anyPeer) {
    std::vector<TableRow> table;
    const std::string kind = p->picture.name + (grey ? "-grey" : "-rgb");
    for (const Row& row : kRows) {
        const std::string name = std::string(row.key) + "/" + kind;
        if (row.execute) {
            const varno::Document* document = grey ? &p->greyDocument : &p->rgbDocument;
            const BenchPicture* picture = &p->picture;
            const int32_t method = row.method, radius = row.radius;
            benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                TimeExecute(state, picture, document, name, method, radius);
            })->UseManualTime()->Unit(benchmark::kMillisecond);
        } else {
            const MethodCase c = {name, row.method, row.radius, grey};
            const BenchPicture* picture = &p->picture;
            benchmark::RegisterBenchmark(name.c_str(), [c, picture](benchmark::State& state) {
                TimeMethod(state, picture, c);
            })->UseManualTime()->Unit(benchmark::kMillisecond);
        }
        TableRow line;
        line.label = Label(row) + (grey ? ", grey" : ", RGB");
        line.method = name;
        line.execute = row.execute;
        const char* peerLabel = grey ? row.peerLabelGrey : row.peerLabelRgb;
        if (peerLabel && RegisterPeerBenchmark(row.peerKey, &p->picture, grey)) {
            *anyPeer = true;
            line.peerLabel = peerLabel;
            line.peer = std::string(row.peerKey) + "/" + kind;
            line.target = grey ? 0.0 : row.target;
        }
        table.push_back(line);
    }
    const std::string copy = "copy/" + kind;
    const BenchPicture* picture = &p->picture;
    benchmark::RegisterBenchmark(copy.c_str(), [picture, grey](benchmark::State& state) {
        TimeCopy(state, picture, grey);
    })->UseManualTime()->Unit(benchmark::kMillisecond);
    const std::string fresh = "fresh_copy/" + kind;
    benchmark::RegisterBenchmark(fresh.c_str(), [picture, grey](benchmark::State& state) {
        TimeFreshCopy(state, picture, grey);
    })->UseManualTime()->Unit(benchmark::kMillisecond);
    return table;
}

std::vector<BudgetRow> BudgetRows(const Picture& p, bool grey) {
    const std::string kind = "/" + p.picture.name + (grey ? "-grey" : "-rgb");
    std::vector<BudgetRow> rows;
    for (const Row& execute : kRows) {
        if (!execute.execute) continue;
        for (const Row& alone : kRows)
            if (!alone.execute && alone.method == execute.method && (alone.radius == execute.radius || alone.radius == 0))
                rows.push_back({Label(alone), execute.key + kind, alone.key + kind, "copy" + kind, "fresh_copy" + kind});
    }
    return rows;
}

std::vector<ThreadsRow> RegisterThreadRows(Picture* p, bool grey) {
    static const struct {
        const char* key;
        double goal;
    } kGoals[] = {{"execute_traditional", 0.20}, {"execute_skinny_lines", 0.80}, {"execute_smoother", 0.30},
                  {"execute_fine_detail", 0.20}, {"execute_variable_width_r3", 0.20}};
    const std::string kind = p->picture.name + (grey ? "-grey" : "-rgb");
    std::vector<ThreadsRow> rows;
    for (const Row& execute : kRows) {
        if (!execute.execute) continue;
        ThreadsRow row;
        row.label = Label(execute) + (grey ? ", grey" : ", RGB");
        row.execute = std::string(execute.key) + "/" + kind;
        row.threaded = std::string(execute.key) + "_threads/" + kind;
        const varno::Document* document = grey ? &p->greyDocument : &p->rgbDocument;
        const BenchPicture* picture = &p->picture;
        const std::string name = row.threaded;
        const int32_t method = execute.method, radius = execute.radius;
        benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
            TimeExecute(state, picture, document, name, method, radius, true);
        })->UseManualTime()->Unit(benchmark::kMillisecond);
        if ((grey ? execute.peerLabelGrey : execute.peerLabelRgb) &&
            RegisterThreadedPeerBenchmark(execute.peerKey, &p->picture, grey)) {
            row.peer = std::string(execute.peerKey) + "/" + kind;
            row.peerAll = std::string(execute.peerKey) + "_threads/" + kind;
        }
        for (const auto& g : kGoals)
            if (!grey && row.execute.rfind(std::string(g.key) + "/", 0) == 0) row.goal = g.goal;
        rows.push_back(row);
    }
    return rows;
}

}  // namespace varnobench
