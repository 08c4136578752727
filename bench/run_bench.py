#!/usr/bin/env python3
"""Times the filter against a plain 64 KiB copy of the same mailbox.

Usage: run_bench.py --program PATH [--profile NAME ...] [--size-mb 300]
                    [--pairs 9] [--work DIR] [--check]

For each mailbox profile of bench/generate_mailbox.py (both unless
--profile names one), generates the mailbox once and a tenth of it, warms
the page cache, then times in pairs, alternating, `mboxclean IN OUT`
(console text to a file) and `dd if=IN of=OUT bs=64k`, and reports:

- the median wall time of each, and the median of the pair ratios
  filter/copy, which holds when the machine's speed drifts between pairs;
- the filter's user CPU time per input line, in nanoseconds (median);
- the filter's peak resident memory;
- how the filter's time grows from a tenth of the mailbox to all of it.

With --check it also says whether the figures meet the bar the filter is
held to, and exits with status 1 if one does not.
"""

import argparse
import os
import pathlib
import statistics
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent

# The bar, per profile: at most this many times the copy's time and this
# much user CPU per input line; for both, this much memory whatever the
# mailbox's size, and time that grows with the size, not faster (ten times
# the bytes, ten times the time, with some room for noise).
MOST_RATIO = {"list-archive": 1.3, "typical": 1.5}
MOST_NS_PER_LINE = {"list-archive": 15.0}
MOST_PEAK_MIB = 8
MOST_GROWTH = 12


def run(command, stdout_path):
    """Runs a command with its standard output to a file; returns its wall
    time and user CPU time, from the process's own accounting."""
    with open(stdout_path, "ab") as stdout:
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=stdout, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"{command[0]} failed with status {process.returncode}")
    return elapsed, usage.ru_utime


def peak_memory_kib(program, mailbox, work):
    """The filter's peak resident memory, measured by GNU time in its own
    run: the rusage of a child forked from this interpreter would count the
    interpreter's pages too."""
    result = subprocess.run(
        ["/usr/bin/time", "-f", "%M", program, str(mailbox), str(work / "out.mbox")],
        stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE,
        check=True,
    )
    return int(result.stderr.split()[-1])


def count_lines(path):
    lines, last = 0, b"\n"
    with open(path, "rb") as mailbox:
        while block := mailbox.read(1 << 20):
            lines += block.count(b"\n")
            last = block[-1:]
    return lines + (last != b"\n")


def timed_pairs(program, mailbox, work, pairs):
    filter_runs, copy_runs = [], []
    console = work / "console.txt"
    for _ in range(pairs):
        filter_runs.append(run([program, str(mailbox), str(work / "out.mbox")], console))
        dd = ["dd", f"if={mailbox}", f"of={work / 'copy.mbox'}", "bs=64k", "status=none"]
        copy_runs.append(run(dd, os.devnull))
    return filter_runs, copy_runs


def measure(program, profile, size_mb, pairs, work):
    full = work / f"{profile}-{size_mb:g}MB.mbox"
    tenth = work / f"{profile}-{size_mb / 10:g}MB.mbox"
    for path, size in ((full, size_mb), (tenth, size_mb / 10)):
        if not path.exists():
            subprocess.run(
                [sys.executable, str(HERE / "generate_mailbox.py"), str(path), str(size),
                 "--profile", profile],
                check=True,
            )
        subprocess.run(["cat", str(path)], stdout=subprocess.DEVNULL, check=True)  # page cache
    filter_runs, copy_runs = timed_pairs(program, full, work, pairs)
    # The small run is short enough for noise to count: more runs steady it.
    tenth_runs, _ = timed_pairs(program, tenth, work, pairs * 3)
    lines = count_lines(full)
    filter_wall = statistics.median(wall for wall, _ in filter_runs)
    return {
        "megabytes": full.stat().st_size / 1e6,
        "lines": lines,
        "filter_wall": filter_wall,
        "copy_wall": statistics.median(wall for wall, _ in copy_runs),
        "ratio": statistics.median(f[0] / c[0] for f, c in zip(filter_runs, copy_runs)),
        "ns_per_line": statistics.median(user for _, user in filter_runs) / lines * 1e9,
        "peak_kib": peak_memory_kib(program, full, work),
        "growth": filter_wall / statistics.median(wall for wall, _ in tenth_runs),
    }


def report(profile, pairs, figures):
    megabytes = figures["megabytes"]
    print(f"profile {profile}: {megabytes:.0f} MB, {figures['lines']} lines, {pairs} pairs")
    print(f"  mboxclean:  {figures['filter_wall']:.3f} s  {megabytes / figures['filter_wall']:6.0f} MB/s")
    print(f"  dd bs=64k:  {figures['copy_wall']:.3f} s  {megabytes / figures['copy_wall']:6.0f} MB/s")
    print(f"  ratio filter/copy, median of pairs: {figures['ratio']:.2f}")
    print(f"  user CPU per input line: {figures['ns_per_line']:.1f} ns")
    print(f"  peak resident memory: {figures['peak_kib'] / 1024:.1f} MiB")
    print(f"  growth from {megabytes / 10:.0f} MB to {megabytes:.0f} MB: {figures['growth']:.1f} times")


def missed_bar(profile, figures):
    checks = [
        (f"ratio at most {MOST_RATIO[profile]}", figures["ratio"] <= MOST_RATIO[profile]),
        (f"peak memory under {MOST_PEAK_MIB} MiB", figures["peak_kib"] < MOST_PEAK_MIB * 1024),
        (f"growth at most {MOST_GROWTH} times", figures["growth"] <= MOST_GROWTH),
    ]
    if profile in MOST_NS_PER_LINE:
        most = MOST_NS_PER_LINE[profile]
        checks.append((f"at most {most:g} ns per line", figures["ns_per_line"] <= most))
    return [f"{profile}: {name}" for name, holds in checks if not holds]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--profile", action="append", choices=sorted(MOST_RATIO))
    parser.add_argument("--size-mb", type=float, default=300)
    parser.add_argument("--pairs", type=int, default=9)
    parser.add_argument("--work", default="/tmp/mboxclean-bench")
    parser.add_argument("--check", action="store_true", help="exit 1 if the bar is missed")
    options = parser.parse_args()
    program = str(pathlib.Path(options.program).resolve())
    work = pathlib.Path(options.work)
    work.mkdir(parents=True, exist_ok=True)

    missed = []
    for profile in options.profile or ["list-archive", "typical"]:
        figures = measure(program, profile, options.size_mb, options.pairs, work)
        report(profile, options.pairs, figures)
        missed += missed_bar(profile, figures)
    if options.check:
        print("bar: " + ("holds" if not missed else "missed: " + "; ".join(missed)))
        if missed:
            sys.exit(1)


if __name__ == "__main__":
    main()
