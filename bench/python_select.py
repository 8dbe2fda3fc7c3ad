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
    totals, runs = [], []
    for _ in range(repetitions):
        start = time.perf_counter()
        varnocketile.select(image, "smoother", 2)
        totals.append(time.perf_counter() - start)
        runs.append(_core.last_run_seconds())
    select_ms, run_ms = statistics.median(totals) * 1e3, statistics.median(runs) * 1e3
    with open(bench_json) as f:
        rows = json.load(f)["benchmarks"]
    median = next(r for r in rows if r.get("aggregate_name") == "median")
    own_ms, whole_ms = median["real_time"], median["whole_s"] * 1e3
    ratio = select_ms / own_ms
    height, width = image.shape[:2]
    print(f"Python select, Smoother, RGB {width} x {height} (medians of {repetitions}):")
    print(f"{'case':34} {'ms':>7} {'host run ms':>12} {'own Execute ms':>15} {'whole Execute ms':>17} "
          f"{'ratio':>6} {'target':>8}  verdict")
    print(f"{'varnocketile.select(image)':34} {select_ms:7.1f} {run_ms:12.1f} {own_ms:15.1f} {whole_ms:17.1f} "
          f"{ratio:6.2f} {'<= ' + format(TARGET, '.2f'):>8}  {'met' if ratio <= TARGET else 'missed'}")
    print(f"select / host run in the same calls: {select_ms / run_ms:.3f}; "
          f"select / whole Execute (varno_bench): {select_ms / whole_ms:.2f}")


if __name__ == "__main__":
    main()
