#!/usr/bin/env python3
"""Runs two builds of the program on the same inputs and checks that they
give the same bytes: the output file, standard output and standard error,
and the exit status, in each of the three ways to call the program.

Usage: compare_programs.py --reference PATH --program PATH [--runner CMD]

--reference is the build taken as right (the native one), --program the
one checked against it (the Windows one), run behind --runner (Wine).

The inputs: every *.mbox in tests/fixtures/ and examples/, a generated
mailbox of a few thousand messages (bench/generate_mailbox.py), and a small
one of the bytes where platforms' text handling differs (CR LF and lone CRs,
0x1A, NUL, a line longer than the buffer, no final line end).
"""

import argparse
import pathlib
import shlex
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
GENERATED_MB = "10"  # about 3,900 messages

EDGE_BYTES = (
    b"From a@example.org Mon Jan  1 00:00:00 2024\r\n"
    b"Subject: CR LF - fido7.test\r\n"
    b"\r\n"
    b"a lone\rCR, a CR CR LF\r\r\n"
    b"a 0x1A \x1a inside a line, a NUL \x00 too\n"
    b"\n\n"
    + b"long " * 20000 + b"\n"
    b"From b@example.org Mon Jan  1 00:00:01 2024\n"
    b"\n"
    b"no final line end"
)

# How the program is called: its arguments, and whether the input comes on
# standard input.
CALLS = (
    ("two paths", ["in.mbox", "out.mbox"], False),
    ("input path only", ["in.mbox"], False),
    ("standard input", [], True),
)


def run(command, folder, mailbox, from_stdin):
    """Runs one call in a fresh copy of `folder`'s input; gives what it left."""
    (folder / "in.mbox").write_bytes(mailbox)
    (folder / "out.mbox").unlink(missing_ok=True)
    result = subprocess.run(
        command, cwd=folder, input=mailbox if from_stdin else b"", capture_output=True, timeout=600
    )
    out = folder / "out.mbox"
    return {
        "exit status": result.returncode,
        "output file": out.read_bytes() if out.exists() else None,
        "standard output": result.stdout,
        "standard error": result.stderr,
    }


def first_difference(a, b):
    if not isinstance(a, bytes) or not isinstance(b, bytes):
        return f"{a!r} against {b!r}"
    at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    return f"{len(a)} bytes against {len(b)}, first difference at byte {at}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--reference", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--runner", default="")
    options = parser.parse_args()
    reference = [str(pathlib.Path(options.reference).resolve())]
    program = shlex.split(options.runner) + [str(pathlib.Path(options.program).resolve())]

    with tempfile.TemporaryDirectory(prefix="mboxclean-compare-") as work:
        work = pathlib.Path(work)
        generated = work / "generated.mbox"
        subprocess.run(
            [sys.executable, str(ROOT / "bench" / "generate_mailbox.py"), str(generated), GENERATED_MB],
            check=True,
        )
        inputs = [(p.relative_to(ROOT).as_posix(), p.read_bytes())
                  for folder in ("tests/fixtures", "examples")
                  for p in sorted((ROOT / folder).glob("*.mbox"))]
        mailbox = generated.read_bytes()
        messages = mailbox.count(b"\nFrom ") + mailbox.startswith(b"From ")
        inputs += [(f"generated mailbox of {messages} messages", mailbox), ("edge bytes", EDGE_BYTES)]

        failures = 0
        for name, mailbox in inputs:
            for call, args, from_stdin in CALLS:
                folders = [work / "reference", work / "program"]
                for folder in folders:
                    folder.mkdir(exist_ok=True)
                expected = run(reference + args, folders[0], mailbox, from_stdin)
                actual = run(program + args, folders[1], mailbox, from_stdin)
                # Two runs that fail alike prove nothing.
                problems = [] if expected["exit status"] == 0 else ["the reference failed"]
                problems += [f"{what}: {first_difference(actual[what], expected[what])}"
                             for what in expected if actual[what] != expected[what]]
                label = f"{name}, {call}"
                if problems:
                    failures += 1
                    print(f"FAIL {label}: " + "; ".join(problems))
                else:
                    sizes = "+".join(str(len(expected[w] or b"")) for w in
                                     ("output file", "standard output", "standard error"))
                    print(f"same {label} ({sizes} bytes)")
        print(f"comparison: {len(inputs) * len(CALLS) - failures} same, {failures} different")
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
