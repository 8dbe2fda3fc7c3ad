"""select() of the Python package on the mosaic of photographs (scripts/bench-python).

Times varnocketile.select(mosaic, "smoother") and, within the same calls, the host's RunPlugin
call (About and Execute through the host library, as varno makes it), and compares both with the
plug-in's own Execute time measured by varno_bench on the same picture (its JSON output, given).
Usage: python_select.py MOSAIC.png VARNO_BENCH.json [repetitions]
"""

import json
import statistics
import sys
import time

import varnocketile
from varnocketile import _core

TARGET = 1.10


def main():
    mosaic, bench_json = sys.argv[1], sys.argv[2]
    repetitions = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    image = varnocketile.read(mosaic)
    varnocketile.select(image)  # loads the module; the settings file exists from here on
    totals, runs, cpus = [], [], []
    for _ in range(repetitions):
        start, cpu = time.perf_counter(), time.process_time()
        varnocketile.select(image, "smoother", 2)
        totals.append(time.perf_counter() - start)
        cpus.append(time.process_time() - cpu)
        runs.append(_core.last_run_seconds())
    select_ms, run_ms = statistics.median(totals) * 1e3, statistics.median(runs) * 1e3
    select_cpu_ms = statistics.median(cpus) * 1e3
    with open(bench_json) as f:
        rows = json.load(f)["benchmarks"]
    median = next(r for r in rows if r.get("aggregate_name") == "median")
    own_ms, whole_ms, whole_cpu_ms = median["real_time"], median["whole_s"] * 1e3, median["cpu_time"]
    ratio = select_ms / own_ms
    height, width = image.shape[:2]
    print(f"Python select on the mosaic, Smoother, RGB {width} x {height} (medians of {repetitions}):")
    print(f"{'case':44} {'ms':>7} {'CPU ms':>7}")
    print(f"{'varnocketile.select(image)':44} {select_ms:7.1f} {select_cpu_ms:7.1f}")
    print(f"{'  its host run (RunPlugin) in the same calls':44} {run_ms:7.1f} {'':>7}")
    print(f"{'varno_bench: Execute, the plug-in own share':44} {own_ms:7.1f} {'':>7}")
    print(f"{'varno_bench: the whole Execute call':44} {whole_ms:7.1f} {whole_cpu_ms:7.1f}")
    print(f"select / own Execute {ratio:.2f} (target <= {TARGET:.2f}: {'met' if ratio <= TARGET else 'missed'}); "
          f"select / its host run {select_ms / run_ms:.3f}; select / whole Execute call {select_ms / whole_ms:.2f} "
          f"(CPU {select_cpu_ms / whole_cpu_ms:.2f})")

if __name__ == "__main__":
    main()
