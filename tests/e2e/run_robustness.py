#!/usr/bin/env python3
"""Robustness tests on the built program (POSIX): hostile sizes, running out
of memory, outputs that stop taking bytes, and system calls failing under it.

Usage: run_robustness.py --program PATH [--only SUBSTRING]

Needs prlimit (util-linux) and strace; a missing tool fails its cases.

- Pathological inputs are each run at two sizes; the larger must not take
  more than a few times longer per byte than the smaller, so that time
  linear in the size passes and anything worse fails, whatever the speed of
  the machine.
- Out of memory: one endless line under an address-space limit (prlimit).
- Outputs that stop taking bytes: /dev/full, a closed standard output, and
  a reader that goes away.
- System call failures are injected with strace: the Nth write fails with
  ENOSPC or EIO, or the Nth read of the input with EIO.

Every failing run must end with its status, print nothing, leave the input
as it was, and leave an output of whole 128-byte blocks that is a prefix of
the good run's output.
"""

import argparse
import pathlib
import random
import subprocess
import sys
import tempfile
import time

# The cases share run_e2e's helpers; importing it must not write into the tree.
sys.dont_write_bytecode = True
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from run_e2e import CLEANED, MAILBOX, Context, console, expect, run_case, summary  # noqa: E402

BLOCK = 128
# Time linear in the size may still cost somewhat more per byte at the
# larger size (caches, page faults); a quadratic one costs the size ratio
# more, which no machine hides.
SLACK = 3.0

# About 3 MB: a few dozen writes of the output and of the console.
BIG_MAILBOX = MAILBOX * 8000

CASES = []


def case(function):
    CASES.append((function.__name__, function))
    return function


def timed_run(ctx, args, timeout):
    """One run, its standard output going to a file, so that the time is the
    program's and not this script's reading of a pipe. Returns the seconds
    and (status, stdout, stderr)."""
    with open(ctx.path("console.out"), "wb") as stdout:
        start = time.perf_counter()
        result = subprocess.run(
            ctx.command(*args), cwd=ctx.folder, stdout=stdout, stderr=subprocess.PIPE,
            timeout=timeout,
        )
        seconds = time.perf_counter() - start
    return seconds, (result.returncode, ctx.read("console.out"), result.stderr)


def expect_block_prefix(output, good, what):
    expect(good.startswith(output), True, f"{what} is a prefix of the good output")
    if len(output) % BLOCK != 0 and output != good:
        raise AssertionError(f"{what} ends in a partial block of {len(output) % BLOCK} bytes")


def good_run(ctx):
    """Writes BIG_MAILBOX as in.mbox and cleans it into out.mbox; returns the
    console text and the output."""
    ctx.write("in.mbox", BIG_MAILBOX)
    good = ctx.run("in.mbox", "out.mbox")
    expect(good.returncode, 0, "exit status of the good run")
    return good.stdout, ctx.read("out.mbox")


def expect_stopped(ctx, run, status, good_console, good_output, what, output="out.mbox"):
    """What a failed run must leave: its status, no message, no console text
    beyond the good run's, the input as it was, and whole blocks of the
    good output in `output` (None: nothing to look at)."""
    got_status, stdout, stderr = run
    expect(got_status, status, f"exit status, {what}")
    expect(stderr, b"", f"standard error, {what}")
    expect(good_console.startswith(stdout), True, f"console shows no more than by then, {what}")
    if output:
        expect_block_prefix(ctx.read(output), good_output, f"output, {what}")
    expect(ctx.read("in.mbox") == BIG_MAILBOX, True, f"input intact, {what}")


def expect_linear(ctx, make_input, check, big, small):
    """Runs make_input(size) at both sizes, checks each result with
    check(size, output, console), and fails when the larger size takes more
    than SLACK times longer per byte. The small size gets the best of a few
    runs; the large one is run again, up to twice, only when it was slow, as
    a busy machine may have held it up."""
    args = ["in.mbox", "out.mbox"]

    def run_and_check(size, timeout):
        seconds, (status, stdout, stderr) = timed_run(ctx, args, timeout)
        expect(status, 0, f"exit status at size {size}")
        expect(stderr, b"", f"standard error at size {size}")
        check(size, ctx.read("out.mbox"), stdout)
        return seconds

    ctx.write("in.mbox", make_input(small))
    small_time = min(run_and_check(small, 600) for _ in range(3))
    ratio = big / small
    allowed = SLACK * ratio * small_time
    ctx.write("in.mbox", make_input(big))
    big_time = float("inf")
    for _ in range(3):
        # A run far beyond the allowance is not linear, and need not finish.
        try:
            big_time = min(big_time, run_and_check(big, max(30, 10 * allowed)))
        except subprocess.TimeoutExpired:
            break
        if big_time <= allowed:
            break
    ctx.note = f"{big_time:.3f} s at {big}, {small_time:.3f} s at {small}"
    if big_time > allowed:
        raise AssertionError(
            f"{ctx.note}: {ratio:.0f} times the input took {big_time / small_time:.1f} "
            f"times as long (linear growth allows {allowed:.3f} s)"
        )


# --- Pathological inputs -----------------------------------------------------------


def pattern(size):
    return (b"abcdefghijklmnopqrstuvwxyz0123456789" * (size // 36 + 1))[:size]


@case
def a_single_line_of_50_mb_without_terminator(ctx):
    def check(size, output, stdout):
        expect(output == pattern(size) + b"\n", True, "output is the line and LF")
        expect(stdout, summary(0), "console")

    expect_linear(ctx, pattern, check, 50_000_000, 5_000_000)


@case
def a_million_empty_lines(ctx):
    # In a header block they are one empty line; in a body all of them stay
    # before the next text line.
    def make(n):
        return b"From a\nH\n" + b"\n" * n + b"A\n" + b"\r\n" * n + b"B\n"

    def check(n, output, stdout):
        expect(output == b"From a\nH\n\nA\n" + b"\n" * n + b"B\n", True, "output")
        expect(stdout, console(1), "console")

    expect_linear(ctx, make, check, 1_000_000, 100_000)


@case
def a_million_one_line_messages(ctx):
    def check(n, output, stdout):
        expect(output == b"From x\n" * n, True, "output")
        expect(stdout == console(n), True, "one progress line per message, then the summary")

    expect_linear(ctx, lambda n: b"From x \r\n" * n, check, 1_000_000, 100_000)


@case
def a_million_continuation_lines_of_a_dropped_field(ctx):
    def make(n):
        return (
            b"From a\nReceived: by relay\n" + b"\tcontinued\n" * n + b"Subject: s\n\nbody\n"
        )

    def check(n, output, stdout):
        expect(output, b"From a\nSubject: s\n\nbody\n", "output")
        expect(stdout, console(1), "console")

    expect_linear(ctx, make, check, 1_000_000, 100_000)


@case
def random_bytes(ctx):
    # 0x1A where a line begins would end the input early and leave the two
    # sizes incomparable, so it is left out here (the unit tests cover it).
    def make(size):
        return random.Random(7).randbytes(size).replace(b"\x1a", b"\x1b")

    def check(size, output, stdout):
        expect(b"\r" in output, False, "a CR in the output")
        expect(output == b"" or output.endswith(b"\n"), True, "output ends with LF")
        expect(stdout, console(messages(make(size))), "console")

    expect_linear(ctx, make, check, 20_000_000, 2_000_000)


def messages(data):
    """The number of lines that start with "From " once CRs are dropped and
    trailing bytes of value 0x20 or less trimmed."""
    count = 0
    for line in data.replace(b"\r", b"").split(b"\n"):
        if not line.startswith(b"-- "):
            line = line.rstrip(bytes(range(0x21)))
        count += line.startswith(b"From ")
    return count


# --- Out of memory -------------------------------------------------------------------

MEMORY_LIMIT = 64 * 1024 * 1024


def run_limited(ctx, stdin_feed):
    """Runs the program under the address-space limit, standard input fed by
    stdin_feed(pipe) until the program stops reading."""
    process = subprocess.Popen(
        ["prlimit", f"--as={MEMORY_LIMIT}", *ctx.command("", "out.mbox")],
        cwd=ctx.folder,
        stdin=subprocess.PIPE,
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
    )
    try:
        stdin_feed(process.stdin)
        process.stdin.close()
    except BrokenPipeError:  # the program has ended
        pass
    # Both are small here, so reading one after the other cannot block.
    stdout = process.stdout.read()
    stderr = process.stderr.read()
    return process.wait(timeout=120), stdout, stderr


@case
def a_line_too_long_for_memory_is_203_and_silent(ctx):
    # The same limit leaves room for an ordinary run, so the 203 below is
    # the line's doing and not the limit's.
    status, stdout, stderr = run_limited(ctx, lambda pipe: pipe.write(MAILBOX * 100))
    expect(status, 0, "exit status of an ordinary mailbox under the limit")
    expect(ctx.read("out.mbox") == CLEANED * 100, True, "output of an ordinary mailbox")
    expect(stdout, console(200), "console of an ordinary mailbox under the limit")

    chunk = b"x" * (1 << 20)

    def endless_line(pipe):
        for _ in range(4 * MEMORY_LIMIT // len(chunk)):  # far more than fits
            pipe.write(chunk)

    status, stdout, stderr = run_limited(ctx, endless_line)
    expect(status, 203, "exit status")
    expect(stdout, b"", "standard output")
    expect(stderr, b"", "standard error")
    expect(ctx.read("out.mbox"), b"", "output file")


# --- Outputs that stop taking bytes -------------------------------------------------

# (what, arguments, shell redirections, exit status, output file or None)
REFUSING_OUTPUTS = [
    ("/dev/full as the output", ["in.mbox", "/dev/full"], "", 112, None),
    ("a closed standard output beside an output file", ["in.mbox", "out.mbox"], ">&-", 105,
     "out.mbox"),
    ("a closed standard output as the output", ["in.mbox"], ">&-", 105, None),
]


@case
def an_output_that_takes_no_bytes_ends_the_run_with_its_status(ctx):
    good_console, good_output = good_run(ctx)
    for what, args, redirections, status, output in REFUSING_OUTPUTS:
        ctx.write("out.mbox", b"left from an earlier run")
        result = ctx.shell(redirections, *args)
        run = (result.returncode, result.stdout, result.stderr)
        expect_stopped(ctx, run, status, good_console, good_output, what, output)


@case
def a_file_size_limit_is_223_and_leaves_whole_blocks(ctx):
    # The system writes up to the limit and fails the write after; limits
    # inside a block make that first write a short one.
    good_console, good_output = good_run(ctx)
    for limit in (1, 100_000, 3 * 65536 + 77, 2 * 65536):
        command = ["prlimit", f"--fsize={limit}", *ctx.command("in.mbox", "out.mbox")]
        result = subprocess.run(command, cwd=ctx.folder, capture_output=True, timeout=60)
        run = (result.returncode, result.stdout, result.stderr)
        expect_stopped(ctx, run, 223, good_console, good_output, f"a limit of {limit} bytes")


@case
def a_reader_that_goes_away_is_232_and_got_a_prefix(ctx):
    ctx.write("in.mbox", BIG_MAILBOX)
    good = ctx.run("in.mbox")  # the mailbox on standard output, the console on error
    expect(good.returncode, 0, "exit status of the good run")
    with open(ctx.path("console.out"), "wb") as console_file:
        process = subprocess.Popen(
            ctx.command("in.mbox"), cwd=ctx.folder, stdout=subprocess.PIPE, stderr=console_file
        )
        received = b""
        while len(received) < len(good.stdout) // 3:
            chunk = process.stdout.read(65536)
            if not chunk:
                break
            received += chunk
        process.stdout.close()
        status = process.wait(timeout=60)
    expect(status, 232, "exit status")
    expect(len(received) < len(good.stdout), True, "the reader went away before the end")
    expect(good.stdout.startswith(received), True, "what the reader got is a prefix")
    expect(good.stderr.startswith(ctx.read("console.out")), True, "console shows no more")
    expect(ctx.read("in.mbox") == BIG_MAILBOX, True, "input intact")
    ctx.note = f"went away after {len(received)} of {len(good.stdout)} bytes"


# --- System calls failing under the program ----------------------------------------


def traced(ctx, trace, injections, log):
    """Runs the program on in.mbox under strace with each injection (an
    inject= expression); returns (status, stdout, stderr)."""
    command = ["strace", "-qq", "-o", str(log), "-e", f"trace={trace}"]
    for injection in injections:
        command += ["-e", f"inject={injection}"]
    result = subprocess.run(
        command + ctx.command("in.mbox", "out.mbox"),
        cwd=ctx.folder,
        capture_output=True,
        timeout=300,
    )
    return result.returncode, result.stdout, result.stderr


def syscalls(log, name):
    return [line for line in log.read_text(errors="replace").splitlines() if line.startswith(name + "(")]


def failing_runs(ctx, trace, syscall, indexes, error, status):
    """Good run, then one run per number that indexes() picks from the good
    run's log, with that call of `syscall` failing."""
    ctx.write("in.mbox", BIG_MAILBOX)
    good_status, good_stdout, good_stderr = traced(ctx, trace, [], ctx.path("good.log"))
    expect(good_status, 0, "exit status of the good run")
    expect(good_stderr, b"", "standard error of the good run")
    good = ctx.read("out.mbox")
    chosen = indexes(ctx.path("good.log"))
    for n in chosen:
        log = ctx.path(f"failed-{n}.log")
        run = traced(ctx, trace, [f"{syscall}:error={error}:when={n}"], log)
        what = f"{syscall} {n} failing with {error}"
        expect_stopped(ctx, run, status, good_stdout, good, what)
        calls = syscalls(log, syscall)
        expect("(INJECTED)" in calls[-1], True, f"the failed {syscall} is the last, {what}")
    ctx.note = f"{syscall} numbers {chosen}"


def spread(total):
    return sorted({1, 2, 3, total // 3, total // 2 + 1, total - 1, total})


@case
def a_failing_write_with_a_full_disk_is_112(ctx):
    failing_runs(
        ctx, "write", "write", lambda log: spread(len(syscalls(log, "write"))), "ENOSPC", 112
    )


@case
def a_failing_write_with_an_io_error_is_29(ctx):
    failing_runs(
        ctx, "write", "write", lambda log: spread(len(syscalls(log, "write")))[2:5], "EIO", 29
    )


def input_reads(log):
    """The numbers, among all reads, of the reads of in.mbox. Reads before
    the input is opened are the loader's and the runtime's: they are
    counted, but never chosen."""
    numbers = []
    count = 0
    input_fd = None
    for line in log.read_text(errors="replace").splitlines():
        if line.startswith("openat(") and '"in.mbox"' in line:
            input_fd = line.rsplit("= ", 1)[1].split()[0]
        elif line.startswith("read("):
            count += 1
            if input_fd is not None and line.startswith(f"read({input_fd},"):
                numbers.append(count)
    if len(numbers) < 10:
        raise AssertionError(f"only {len(numbers)} reads of the input")
    return numbers


@case
def a_failing_read_of_the_input_is_30(ctx):
    def chosen(log):
        numbers = input_reads(log)
        return sorted({numbers[0], numbers[1], numbers[len(numbers) // 2], numbers[-1]})

    failing_runs(ctx, "openat,read", "read", chosen, "EIO", 30)


@case
def interrupted_reads_and_writes_are_retried(ctx):
    ctx.write("in.mbox", BIG_MAILBOX)
    trace = "openat,read,write"
    good_status, good_stdout, _ = traced(ctx, trace, [], ctx.path("good.log"))
    expect(good_status, 0, "exit status of the good run")
    good = ctx.read("out.mbox")
    # Every other read from the first of the input on, and every other
    # write, is interrupted by a signal before it transfers anything.
    first = input_reads(ctx.path("good.log"))[0]
    injections = [f"read:error=EINTR:when={first}+2", "write:error=EINTR:when=1+2"]
    log = ctx.path("interrupted.log")
    status, stdout, stderr = traced(ctx, trace, injections, log)
    expect(status, 0, "exit status")
    expect(stderr, b"", "standard error")
    expect(stdout, good_stdout, "console")
    expect(ctx.read("out.mbox") == good, True, "the output is the good one")
    interrupted = sum("(INJECTED)" in line for line in log.read_text(errors="replace").splitlines())
    expect(interrupted > 20, True, f"calls interrupted ({interrupted})")
    ctx.note = f"{interrupted} calls interrupted"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--only", default="")
    options = parser.parse_args()
    program = str(pathlib.Path(options.program).resolve())

    passed = failed = 0
    for name, function in CASES:
        if options.only not in name:
            continue
        with tempfile.TemporaryDirectory(prefix="mboxclean-robust-") as folder:
            ctx = Context(program, [], "posix", pathlib.Path(folder))
            ctx.note = ""
            start = time.perf_counter()
            if run_case(name, function, ctx):
                passed += 1
                took = time.perf_counter() - start
                print(f"ok   {name} ({took:.1f} s{'; ' + ctx.note if ctx.note else ''})")
            else:
                failed += 1
    print(f"robustness: {passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
