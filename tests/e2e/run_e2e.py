#!/usr/bin/env python3
"""End-to-end tests: the built program run as a user runs it.

Usage: run_e2e.py --program PATH [--runner CMD] [--platform posix|windows]
                  [--only SUBSTRING]

--runner is a command prefix (for example a Wine launcher) put before the
program; --platform says whose behaviour to expect, so that cases that only
make sense on one platform (closed descriptors, /dev/full, a terminal or
Wine's console, Windows command-line splitting) are run only there; each
such case says why. The Windows program is run under Wine from a Linux
shell, so its standard handles are Linux descriptors and pipes. Every case runs in a fresh temporary folder, with relative
paths, so that the same case works for a native and a Windows program.

Besides the cases below, every NAME.mbox in tests/fixtures/ and examples/
that has a NAME.expected.mbox beside it is filtered and compared byte for
byte.
"""

import argparse
import gzip
import os
import pathlib
import pty
import re
import select
import shlex
import subprocess
import sys
import tempfile
import termios
import traceback

ROOT = pathlib.Path(__file__).resolve().parents[2]
FIXTURE_FOLDERS = (ROOT / "tests" / "fixtures", ROOT / "examples")

# Console text is CP866 on files, pipes and devices; the POSIX program
# writes it in UTF-8 on a terminal.
PROGRESS = "Обрабатывается сообщение № "
SUMMARY_PREFIX = "Обработано "
SUMMARY_SUFFIX = " сообщений" + " " * 31


def progress(n, encoding="cp866"):
    return (PROGRESS + str(n) + "\r").encode(encoding)


def summary(n, encoding="cp866"):
    return (SUMMARY_PREFIX + str(n) + SUMMARY_SUFFIX + "\r\n").encode(encoding)


def console(n):
    return b"".join(progress(i) for i in range(1, n + 1)) + summary(n)


def console_utf8(n):
    return b"".join(progress(i, "utf-8") for i in range(1, n + 1)) + summary(n, "utf-8")


# A mailbox whose cleaning needs only the empty-line and "-- " rules.
MAILBOX = (
    b"From alice@example.org Mon Jan  1 00:00:00 2024\r\n"
    b"Subject: Hello\r\n"
    b"\r\n\r\n"
    b"First line.   \r\n"
    b"\r\n"
    b"-- \r\n"
    b"Alice\r\n"
    b"\r\n"
    b"-- \r\n"
    b"From bob@example.org Mon Jan  1 00:00:01 2024\n"
    b"Subject: Re: Hello\n"
    b"\n"
    b"Second.\n"
)
CLEANED = (
    b"From alice@example.org Mon Jan  1 00:00:00 2024\n"
    b"Subject: Hello\n"
    b"\n"
    b"First line.\n"
    b"\n"
    b"-- \n"
    b"Alice\n"
    b"\n\n"
    b"From bob@example.org Mon Jan  1 00:00:01 2024\n"
    b"Subject: Re: Hello\n"
    b"\n"
    b"Second.\n"
)

CASES = []


def case(*platforms):
    """Registers a case; with platforms given, it runs only on those."""

    def register(function):
        CASES.append((function.__name__, set(platforms) or {"posix", "windows"}, function))
        return function

    return register


class Context:
    def __init__(self, program, runner, platform, folder):
        self.program = program
        self.runner = runner
        self.platform = platform
        self.folder = folder

    def command(self, *args):
        return self.runner + [self.program, *args]

    def run(self, *args, stdin=b"", timeout=120):
        """Runs the program with stdout and stderr captured through pipes."""
        return subprocess.run(
            self.command(*args),
            cwd=self.folder,
            input=stdin,
            capture_output=True,
            timeout=timeout,
        )

    def shell(self, redirections, *args, stdin=b""):
        """Runs the program under sh with extra redirections (POSIX only)."""
        line = " ".join(shlex.quote(part) for part in self.command(*args)) + " " + redirections
        return subprocess.run(
            ["sh", "-c", line], cwd=self.folder, input=stdin, capture_output=True, timeout=120
        )

    def path(self, name):
        return self.folder / name

    def write(self, name, data):
        path = self.path(name)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        return path

    def read(self, name):
        return self.path(name).read_bytes()


def expect(actual, expected, what):
    if actual != expected:
        raise AssertionError(f"{what}:\n  expected {expected!r}\n  got      {actual!r}")


def run_case(name, function, ctx):
    """Runs one case and says whether it passed; a failure is reported here,
    so that the remaining cases still run."""
    try:
        function(ctx)
    except Exception:
        print(f"FAIL {name}")
        traceback.print_exc(limit=2)
        return False
    return True


def expect_failure(result, status):
    expect(result.returncode, status, "exit status")
    expect(result.stdout, b"", "standard output")
    expect(result.stderr, b"", "standard error")


# --- The argument table --------------------------------------------------------


@case()
def two_arguments_write_the_output_file(ctx):
    ctx.write("in.mbox", MAILBOX)
    result = ctx.run("in.mbox", "out.mbox")
    expect(result.returncode, 0, "exit status")
    expect(ctx.read("out.mbox"), CLEANED, "output file")
    expect(result.stdout, console(2), "console on standard output")
    expect(result.stderr, b"", "standard error")
    expect(ctx.read("in.mbox"), MAILBOX, "input file")


@case()
def an_existing_output_file_is_replaced(ctx):
    ctx.write("in.mbox", MAILBOX)
    ctx.write("out.mbox", b"x" * 100000)
    expect(ctx.run("in.mbox", "out.mbox").returncode, 0, "exit status")
    expect(ctx.read("out.mbox"), CLEANED, "output file")


@case()
def arguments_after_the_second_are_ignored(ctx):
    ctx.write("in.mbox", MAILBOX)
    result = ctx.run("in.mbox", "out.mbox", "third", "fourth")
    expect(result.returncode, 0, "exit status")
    expect(ctx.read("out.mbox"), CLEANED, "output file")
    expect(ctx.path("third").exists(), False, "third argument used as a file")


@case()
def one_argument_writes_the_mailbox_to_standard_output(ctx):
    ctx.write("in.mbox", MAILBOX)
    result = ctx.run("in.mbox")
    expect(result.returncode, 0, "exit status")
    expect(result.stdout, CLEANED, "standard output")
    expect(result.stderr, console(2), "console text on standard error")


@case()
def one_argument_with_standard_output_to_a_file(ctx):
    ctx.write("in.mbox", MAILBOX)
    with open(ctx.path("out.mbox"), "wb") as out:
        result = subprocess.run(
            ctx.command("in.mbox"), cwd=ctx.folder, stdout=out, stderr=subprocess.PIPE, timeout=60
        )
    expect(result.returncode, 0, "exit status")
    expect(ctx.read("out.mbox"), CLEANED, "redirected standard output")
    expect(result.stderr, console(2), "console text on standard error")


@case()
def no_arguments_filter_standard_input(ctx):
    result = ctx.run(stdin=MAILBOX)
    expect(result.returncode, 0, "exit status")
    expect(result.stdout, CLEANED, "standard output")
    expect(result.stderr, console(2), "console text on standard error")


@case()
def paths_with_spaces(ctx):
    ctx.write("my mail/in box.mbox", MAILBOX)
    ctx.path("clean mail").mkdir()
    result = ctx.run("my mail/in box.mbox", "clean mail/out box.mbox")
    expect(result.returncode, 0, "exit status")
    expect(ctx.read("clean mail/out box.mbox"), CLEANED, "output file")


@case("windows")
def an_empty_quoted_argument_is_no_argument(ctx):
    # Wine passes the empty argument on as "", which the program's own
    # splitting skips: in.mbox becomes the input and the output is standard
    # output. (On POSIX the shell's empty argument is an empty input path.)
    ctx.write("in.mbox", MAILBOX)
    result = ctx.run("", "in.mbox")
    expect(result.returncode, 0, "exit status")
    expect(result.stdout, CLEANED, "standard output")
    expect(result.stderr, console(2), "console text on standard error")


@case()
def empty_input(ctx):
    ctx.write("in.mbox", b"")
    result = ctx.run("in.mbox", "out.mbox")
    expect(result.returncode, 0, "exit status")
    expect(ctx.read("out.mbox"), b"", "output file")
    expect(result.stdout, summary(0), "console")


def run_on_terminal(ctx, *args):
    """Runs the program with standard output on a new terminal; gives the
    bytes the terminal received and the finished process."""
    leader, follower = pty.openpty()
    # No translation on the terminal, so the bytes read are the bytes written.
    attributes = termios.tcgetattr(follower)
    attributes[1] &= ~termios.OPOST
    termios.tcsetattr(follower, termios.TCSANOW, attributes)
    process = subprocess.Popen(
        ctx.command(*args), cwd=ctx.folder, stdout=follower, stderr=subprocess.PIPE
    )
    os.close(follower)
    received = b""
    while True:
        ready, _, _ = select.select([leader], [], [], 30)
        if not ready:
            break
        try:
            chunk = os.read(leader, 65536)
        except OSError:
            break
        if not chunk:
            break
        received += chunk
    os.close(leader)
    process.wait(timeout=30)
    return received, process


def terminal_bytes(encoding):
    """What a terminal shows for `mboxclean in.mbox` on MAILBOX: every
    statement at once, so the progress lines fall between the lines of the
    mailbox. The second progress line comes before the empty lines held back
    for the second message, which are written only when its separator is
    read."""
    second = CLEANED.index(b"From bob")
    return (
        progress(1, encoding)
        + CLEANED[: second - 2]
        + progress(2, encoding)
        + CLEANED[second - 2 :]
        + summary(2, encoding)
    )


@case("posix")
def on_a_terminal_mailbox_and_console_interleave_in_utf8(ctx):
    ctx.write("in.mbox", MAILBOX)
    received, process = run_on_terminal(ctx, "in.mbox")
    expect(process.returncode, 0, "exit status")
    expect(received, terminal_bytes("utf-8"), "terminal bytes")
    expect(process.stderr.read(), b"", "standard error")


@case("posix")
def on_a_terminal_with_an_output_file_the_console_is_utf8(ctx):
    ctx.write("in.mbox", MAILBOX)
    received, process = run_on_terminal(ctx, "in.mbox", "out.mbox")
    expect(process.returncode, 0, "exit status")
    expect(received, console_utf8(2), "terminal bytes")
    expect(ctx.read("out.mbox"), CLEANED, "output file")


def as_wine_console_shows(data):
    """Wine's console redraws what a program writes to it: it adds cursor
    sequences, gives each LF a CR, turns trailing spaces into an erase, and
    shows each byte as a character of its code page. What is left to compare
    is the order of the text, without CRs and with every non-ASCII character
    as "?"."""
    text = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", data.decode("utf-8", errors="replace"))
    text = re.sub(r"[^\x00-\x7f]", "?", text).replace("\r", "")
    return re.sub(r" +(?=\n|$)", "", text)


@case("windows")
def on_a_console_mailbox_and_console_interleave(ctx):
    ctx.write("in.mbox", MAILBOX)
    received, process = run_on_terminal(ctx, "in.mbox")
    expect(process.returncode, 0, "exit status")
    # The Windows program keeps CP866 on its console too; Wine shows it in
    # its own code page, so only the order of the text is compared.
    expected = as_wine_console_shows(terminal_bytes("cp866").decode("cp866").encode("utf-8"))
    expect(as_wine_console_shows(received), expected, "console text")
    expect(process.stderr.read(), b"", "standard error")


# --- Failures a user can cause ---------------------------------------------------


@case()
def missing_input_file_is_2_and_the_output_is_untouched(ctx):
    ctx.write("out.mbox", b"keep me")
    expect_failure(ctx.run("missing.mbox", "out.mbox"), 2)
    expect(ctx.read("out.mbox"), b"keep me", "output file")


@case()
def missing_input_folder_is_3(ctx):
    expect_failure(ctx.run("nofolder/in.mbox", "out.mbox"), 3)
    expect(ctx.path("out.mbox").exists(), False, "output created")


@case()
def missing_output_folder_is_3_and_the_input_is_untouched(ctx):
    ctx.write("in.mbox", MAILBOX)
    expect_failure(ctx.run("in.mbox", "nofolder/out.mbox"), 3)
    expect(ctx.read("in.mbox"), MAILBOX, "input file")


@case()
def folder_as_input_is_5_and_the_output_is_untouched(ctx):
    ctx.path("somedir").mkdir()
    ctx.write("out.mbox", b"keep me")
    expect_failure(ctx.run("somedir", "out.mbox"), 5)
    expect(ctx.read("out.mbox"), b"keep me", "output file")


@case()
def output_naming_the_input_is_32_and_the_file_is_intact(ctx):
    ctx.write("in.mbox", MAILBOX)
    expect_failure(ctx.run("in.mbox", "in.mbox"), 32)
    expect(ctx.read("in.mbox"), MAILBOX, "input file")


@case()
def output_naming_the_input_by_another_path_is_32(ctx):
    ctx.write("in.mbox", MAILBOX)
    if ctx.platform == "windows":
        # File names are case-blind, and either slash separates folders.
        ctx.path("folder").mkdir()
        other = "FOLDER\\..\\IN.MBOX"
    else:
        other = "link.mbox"
        os.symlink("in.mbox", ctx.path(other))
    expect_failure(ctx.run("./in.mbox", other), 32)
    expect(ctx.read("in.mbox"), MAILBOX, "input file")


# On Windows the shell's handle writes the file, so the input's share mode
# refuses it (the Win32 platform tests check that); under Wine a handle a
# Linux shell opened carries no share mode to refuse it with.
@case("posix")
def standard_output_appending_to_the_input_is_32(ctx):
    ctx.write("in.mbox", MAILBOX)
    expect_failure(ctx.shell(">> in.mbox", "in.mbox"), 32)
    expect(ctx.read("in.mbox"), MAILBOX, "input file")


@case()
def standard_input_and_output_on_one_file_is_32(ctx):
    ctx.write("in.mbox", MAILBOX)
    expect_failure(ctx.shell("< in.mbox >> in.mbox"), 32)
    expect(ctx.read("in.mbox"), MAILBOX, "input file")


# /dev/full is a POSIX device; Windows has no always-full file.
@case("posix")
def full_disk_is_112(ctx):
    ctx.write("in.mbox", MAILBOX * 2000)
    result = ctx.run("in.mbox", "/dev/full")
    expect(result.returncode, 112, "exit status")
    expect(result.stderr, b"", "standard error")


# Under Wine a descriptor closed by the shell is reused by Wine itself and
# the program gets a standard output that fails writes with 6. A Windows
# process started without a usable standard output is checked in the Win32
# platform tests.
@case("posix")
def closed_standard_output_without_output_path_is_105_before_reading(ctx):
    ctx.write("in.mbox", MAILBOX)
    expect_failure(ctx.shell(">&-", "in.mbox"), 105)


@case("posix")
def closed_standard_output_with_output_path_is_105_at_the_first_message(ctx):
    ctx.write("in.mbox", MAILBOX)
    expect_failure(ctx.shell(">&-", "in.mbox", "out.mbox"), 105)
    expect(ctx.read("out.mbox"), b"", "output file")


@case()
def a_reader_that_goes_away_is_232(ctx):
    big = MAILBOX * 40000  # several megabytes: far more than any pipe holds
    ctx.write("in.mbox", big)
    process = subprocess.Popen(
        ctx.command("in.mbox"), cwd=ctx.folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE
    )
    head = process.stdout.read(100)
    process.stdout.close()
    status = process.wait(timeout=60)
    stderr = process.stderr.read()
    expect(head, (CLEANED * 2)[:100], "first bytes")
    # The Windows program passes the system's code on: ERROR_NO_DATA (232)
    # on a Windows pipe, ERROR_PIPE_NOT_CONNECTED (233) on the Linux pipe
    # Wine hands it here.
    statuses = {232, 233} if ctx.platform == "windows" else {232}
    expect(status in statuses, True, f"exit status {status} in {sorted(statuses)}")
    if b"Broken pipe" in stderr:
        raise AssertionError("an error message was printed")


# --- The two common uses in the README ---------------------------------------------
# Each runs the README's command itself, with real find, xargs, gzip and zcat.
# POSIX only: these are POSIX shell pipelines, and under Wine they would try
# Wine rather than the program.


def readme_command(ctx, line):
    """Runs one of the README's command lines under sh, with `mboxclean`
    standing for the program under test."""
    program = " ".join(shlex.quote(part) for part in ctx.command())
    return subprocess.run(
        ["sh", "-c", line.replace("mboxclean", program)],
        cwd=ctx.folder,
        capture_output=True,
        timeout=120,
    )


@case("posix")
def many_archives_at_once_with_find_and_xargs(ctx):
    second = MAILBOX.replace(b"alice", b"carol")
    inputs = {
        "archive/2023.mbox": (MAILBOX, CLEANED),
        "archive/lists/2024.mbox": (second, CLEANED.replace(b"alice", b"carol")),
        "archive/lists/empty.mbox": (b"", b""),
    }
    for name, (data, _) in inputs.items():
        ctx.write(name, data)
    result = readme_command(
        ctx, "find archive -name '*.mbox' -print0 | xargs -0 -P \"$(nproc)\" -I{} mboxclean {} {}.clean"
    )
    expect(result.returncode, 0, "exit status")
    expect(result.stderr, b"", "standard error")
    for name, (data, cleaned) in inputs.items():
        expect(ctx.read(name + ".clean"), cleaned, f"{name}.clean")
        expect(ctx.read(name), data, name)
    # The three summaries, in whatever order the processes ended.
    expect(result.stdout.count(SUMMARY_PREFIX.encode("cp866")), 3, "summary lines")
    leftovers = sorted(str(path.relative_to(ctx.folder)) for path in ctx.path("archive").rglob("*"))
    expected = sorted(
        ["archive/lists"] + list(inputs) + [name + ".clean" for name in inputs]
    )
    expect(leftovers, expected, "files in the archive")


@case("posix")
def compressed_archive_through_pipes(ctx):
    ctx.write("a.mbox.gz", gzip.compress(MAILBOX * 50))
    result = readme_command(ctx, "zcat a.mbox.gz | mboxclean | gzip > a.clean.mbox.gz")
    expect(result.returncode, 0, "exit status")
    expect(gzip.decompress(ctx.read("a.clean.mbox.gz")), CLEANED * 50, "cleaned mailbox")
    expect(result.stdout, b"", "standard output")
    expect(result.stderr, console(100), "console text on standard error")


# --- Fixtures --------------------------------------------------------------------


def fixture_case(folder, name):
    def run_fixture(ctx):
        source = folder / f"{name}.mbox"
        expected = (folder / f"{name}.expected.mbox").read_bytes()
        ctx.write("in.mbox", source.read_bytes())
        result = ctx.run("in.mbox", "out.mbox")
        expect(result.returncode, 0, "exit status")
        expect(ctx.read("out.mbox"), expected, f"output of {name}.mbox")

    return run_fixture


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--runner", default="")
    parser.add_argument("--platform", choices=["posix", "windows"], default="posix")
    parser.add_argument("--only", default="")
    options = parser.parse_args()
    program = str(pathlib.Path(options.program).resolve())
    runner = shlex.split(options.runner)

    cases = list(CASES)
    for folder in FIXTURE_FOLDERS:
        for expected in sorted(folder.glob("*.expected.mbox")):
            name = expected.name[: -len(".expected.mbox")]
            cases.append((f"fixture_{name}", {"posix", "windows"}, fixture_case(folder, name)))

    passed = failed = skipped = 0
    for name, platforms, function in cases:
        if options.only not in name:
            continue
        if options.platform not in platforms:
            skipped += 1
            continue
        with tempfile.TemporaryDirectory(prefix="mboxclean-e2e-") as folder:
            ctx = Context(program, runner, options.platform, pathlib.Path(folder))
            if run_case(name, function, ctx):
                passed += 1
                print(f"ok   {name}")
            else:
                failed += 1
    print(f"end-to-end ({options.platform}): {passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
