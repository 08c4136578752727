#!/usr/bin/env python3
"""A real full disk: the output folder is a tmpfs of 1000 KiB, so that the
program's 16th write of 64 KiB is taken only in part (40 KiB of it) and the
write of the rest fails. The run must end with status 112, print nothing,
and leave exactly the 15 whole writes, 983,040 bytes, a prefix of the good
output: the partly taken write is cut back.

Usage: run_full_disk.py --program PATH [--runner CMD]

--runner is a command prefix (Wine, for a Windows program, which then
writes through Wine to the Linux tmpfs). Mounting needs root; where the
mount is refused, the test says SKIPPED and exits with 77.
"""

import argparse
import pathlib
import shlex
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from run_e2e import CLEANED, MAILBOX, Context, expect  # noqa: E402

SKIPPED = 77
DISK = "1000k"
WRITE = 64 * 1024
KEPT = 15 * WRITE  # 983,040 bytes: the whole writes that fit in 1,024,000
MAILBOX_COPIES = 12000  # a good output of about 1.9 MB, well past the disk


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--runner", default="")
    options = parser.parse_args()
    program = str(pathlib.Path(options.program).resolve())

    with tempfile.TemporaryDirectory(prefix="mboxclean-full-disk-") as folder:
        ctx = Context(program, shlex.split(options.runner), "posix", pathlib.Path(folder))
        mailbox = MAILBOX * MAILBOX_COPIES
        ctx.write("in.mbox", mailbox)
        good = ctx.run("in.mbox", "out.mbox")
        expect(good.returncode, 0, "exit status of the good run")
        good_output = ctx.read("out.mbox")
        expect(good_output == CLEANED * MAILBOX_COPIES, True, "output of the good run")
        expect(len(good_output) > 1000 * 1024, True, "the good output is larger than the disk")

        disk = ctx.path("disk")
        disk.mkdir()
        mount = subprocess.run(
            ["mount", "-t", "tmpfs", "-o", f"size={DISK}", "tmpfs", str(disk)],
            capture_output=True, text=True,
        )
        if mount.returncode != 0:
            print(f"SKIPPED: full disk: cannot mount a tmpfs ({mount.stderr.strip()})")
            return SKIPPED
        try:
            full = ctx.run("in.mbox", "disk/out.mbox")
            output = ctx.read("disk/out.mbox")
        finally:
            subprocess.run(["umount", str(disk)], check=True)

        expect(full.returncode, 112, "exit status on a full disk")
        expect(full.stderr, b"", "standard error on a full disk")
        expect(good.stdout.startswith(full.stdout), True, "console shows no more than by then")
        expect(len(output), KEPT, "bytes left on the full disk")
        expect(good_output.startswith(output), True, "what is left is a prefix of the good output")
        expect(ctx.read("in.mbox") == mailbox, True, "input intact")
    print(f"full disk: status 112, {KEPT} bytes kept of {len(good_output)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
