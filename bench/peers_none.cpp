// A build without the peer library: the methods are timed alone.
#include "bench/bench_peers.h"

namespace varnobench {

bool RegisterPeerBenchmark(const std::string&, const BenchPicture*, bool) { return false; }

bool RegisterThreadedPeerBenchmark(const std::string&, const BenchPicture*, bool) { return false; }

int32_t PeerDefaultThreads() { return 0; }

bool RegisterFilePeerBenchmark(const std::string&, const std::string&) { return false; }

std::string PeerLibrary() { return std::string(); }

}  // namespace varnobench
