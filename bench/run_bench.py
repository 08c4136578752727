#!/usr/bin/env python3
"""Times the filter against a plain 64 KiB copy of the same mailbox.

Usage: run_bench.py --program PATH [--size-mb 300] [--runs 5] [--work DIR] [--check]

Generates the benchmark mailbox (bench/generate_mailbox.py) once, warms the
page cache, then times in one run, alternating, `mboxclean IN OUT` (console
text to a file) and `dd if=IN of=OUT bs=64k`, and reports the medians, the
throughput of each, their ratio, the filter's peak resident memory, and how
the filter's time grows from a tenth of the mailbox to all of it.

With --check it also says whether the figures meet the bar the filter is
held to, and exits with status 1 if one does not.
"""

import argparse
import pathlib
import statistics
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent

# The bar: at most this many times the copy's time, this much memory
# whatever the mailbox's size, and time that grows with the size, not faster
# (ten times the bytes, ten times the time, with some room for noise).
MOST_RATIO = 1.5
MOST_PEAK_MIB = 8
MOST_GROWTH = 12


def timed(command, stdout):
    """Runs a command; returns its wall time."""
    start = time.perf_counter()
    status = subprocess.run(command, stdout=stdout, stderr=subprocess.DEVNULL).returncode
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{command[0]} failed with status {status}")
    return elapsed


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


def median_times(program, mailbox, work, runs):
    filter_times, copy_times = [], []
    with open(work / "console.txt", "wb") as console:
        for _ in range(runs):
            filter_times.append(timed([program, str(mailbox), str(work / "out.mbox")], console))
            seconds = timed(
                ["dd", f"if={mailbox}", f"of={work / 'copy.mbox'}", "bs=64k", "status=none"],
                subprocess.DEVNULL,
            )
            copy_times.append(seconds)
    return statistics.median(filter_times), statistics.median(copy_times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--size-mb", type=float, default=300)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default="/tmp/mboxclean-bench")
    parser.add_argument("--check", action="store_true", help="exit 1 if the bar is missed")
    options = parser.parse_args()
    program = str(pathlib.Path(options.program).resolve())
    work = pathlib.Path(options.work)
    work.mkdir(parents=True, exist_ok=True)

    full = work / f"bench-{options.size_mb:g}MB.mbox"
    tenth = work / f"bench-{options.size_mb / 10:g}MB.mbox"
    for path, size in ((full, options.size_mb), (tenth, options.size_mb / 10)):
        if not path.exists():
            subprocess.run(
                [sys.executable, str(HERE / "generate_mailbox.py"), str(path), str(size)], check=True
            )
        subprocess.run(["cat", str(path)], stdout=subprocess.DEVNULL, check=True)  # page cache

    megabytes = full.stat().st_size / 1e6
    filter_s, copy_s = median_times(program, full, work, options.runs)
    # The small run is short enough for noise to count: more runs steady it.
    tenth_s, _ = median_times(program, tenth, work, options.runs * 3)
    peak_kib = peak_memory_kib(program, full, work)
    print(f"mailbox:   {megabytes:.0f} MB, median of {options.runs} runs each")
    print(f"mboxclean: {filter_s:.3f} s  {megabytes / filter_s:8.0f} MB/s")
    print(f"dd bs=64k: {copy_s:.3f} s  {megabytes / copy_s:8.0f} MB/s")
    print(f"ratio filter/copy: {filter_s / copy_s:.2f}")
    print(f"peak resident memory of mboxclean: {peak_kib / 1024:.1f} MiB")
    print(f"growth from {megabytes / 10:.0f} MB to {megabytes:.0f} MB: {filter_s / tenth_s:.1f} times")
    if options.check:
        missed = [
            name
            for name, holds in (
                (f"ratio at most {MOST_RATIO}", filter_s / copy_s <= MOST_RATIO),
                (f"peak memory under {MOST_PEAK_MIB} MiB", peak_kib < MOST_PEAK_MIB * 1024),
                (f"growth at most {MOST_GROWTH} times", filter_s / tenth_s <= MOST_GROWTH),
            )
            if not holds
        ]
        print("bar: " + ("holds" if not missed else "missed: " + ", ".join(missed)))
        if missed:
            sys.exit(1)


if __name__ == "__main__":
    main()
