"""Prints the settings benchmark side by side: per input, the launcher's read
and the full JSON parse, their ratio, throughput and the heap one read takes,
against the targets. Reads the JSON that settings_read_bench writes with
--benchmark_out.
    python3 bench/settings_summary.py <benchmark output.json>"""

import json
import sys

SCALE_TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
# The time a read should stay under, per input (ms).
TARGETS_MS = {"typical": 0.2, "start_page_1MiB": 20.0}


def main(path):
    with open(path, encoding="utf-8") as source:
        runs = json.load(source)["benchmarks"]
    by_input = {}
    for run in runs:
        # Aggregates (mean, median, ...) when repetitions were asked: keep the median.
        if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
            continue
        input_name, reader = run["run_name"].split("/")
        by_input.setdefault(input_name, {})[reader] = run

    header = "%-16s %9s %12s %12s %7s %10s %12s %10s  %s" % (
        "input", "size", "launcher", "full parse", "ratio", "launcher", "launcher", "parse", "target")
    print(header)
    print("%-16s %9s %12s %12s %7s %10s %12s %10s" % ("", "KiB", "ms/read", "ms/read", "", "MiB/s",
                                                     "heap/input", "heap/input"))
    for input_name, readers in by_input.items():
        ours, theirs = readers["launcher"], readers["nlohmann_json"]
        ours_ms = ours["real_time"] * SCALE_TO_MS[ours["time_unit"]]
        theirs_ms = theirs["real_time"] * SCALE_TO_MS[theirs["time_unit"]]
        target = TARGETS_MS.get(input_name)
        verdict = "" if target is None else "%s %.1f ms: %s" % ("<", target, "met" if ours_ms < target else "MISSED")
        print("%-16s %9.1f %12.4f %12.4f %6.1fx %10.0f %12.3f %10.3f  %s" % (
            input_name, ours["input_bytes"] / 1024, ours_ms, theirs_ms, theirs_ms / ours_ms,
            ours["bytes_per_second"] / 2**20, ours["heap_per_input_byte"], theirs["heap_per_input_byte"], verdict))
    print("ratio: full-parse time / launcher time; heap/input: peak heap bytes of one read per input byte")


if __name__ == "__main__":
    main(sys.argv[1])
