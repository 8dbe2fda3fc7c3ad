// The benchmark's rows: each method alone and in a whole Execute run, on one picture in colour or
// grey, beside the peer operation it is compared with, and the budget of each Execute run.
//
// Contract: RegisterRows registers, for the picture and kind, every row's benchmark
// ("KEY/PICTURE-rgb" or "KEY/PICTURE-grey"), its peer's when this build has it (then *anyPeer
// becomes true), and the two copies the budget counts in; it returns the rows for the table, the
// labels taking the methods' names from the edge parameter table. The picture must outlive the
// benchmarks' run.
#pragma once

#include <string>
#include <vector>

#include "bench/bench_peers.h"
#include "bench/bench_table.h"
#include "bench/bench_threads.h"
#include "images/document.h"

namespace varnobench {

struct Picture {
    BenchPicture picture;
    varno::Document rgbDocument, greyDocument;
    std::string description;
};

std::vector<TableRow> RegisterRows(Picture* p, bool grey, bool* anyPeer);
// The Execute runs of one picture and kind against their methods alone plus two copies.
std::vector<BudgetRow> BudgetRows(const Picture& p, bool grey);
// The threaded Execute run of every Execute row and its peer at the library's default thread
// count, with the names of the one-thread runs they are held against.
std::vector<ThreadsRow> RegisterThreadRows(Picture* p, bool grey);

}  // namespace varnobench
