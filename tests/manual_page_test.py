#!/usr/bin/env python3
"""Checks the manual page: it renders without a single warning, has the
conventional sections in order, and its EXIT STATUS lists exactly the
statuses the program can end with (0 and every code in error_codes.h), and
its title line carries the build's version and release date.

Usage: manual_page_test.py PAGE ERROR_CODES_HEADER VERSION DATE
"""

import os
import re
import subprocess
import sys

SECTIONS = ["NAME", "SYNOPSIS", "DESCRIPTION", "EXIT STATUS", "EXAMPLES", "NOTES"]


def render(page, *options):
    result = subprocess.run(
        ["groff", "-man", "-ww", *options, page], capture_output=True, env=dict(os.environ, LC_ALL="C")
    )
    if result.returncode != 0 or result.stderr:
        sys.exit(f"groff {' '.join(options)} failed ({result.returncode}):\n"
                 f"{result.stderr.decode(errors='replace')}")
    return result.stdout.decode("ascii", errors="replace")


def main():
    page, header, version, date = sys.argv[1:5]
    with open(page, encoding="utf-8") as source:
        title = source.readline().rstrip("\n")
    expected_title = f'.TH MBOXCLEAN 1 {date} "mboxclean {version}" "User Commands"'
    if title != expected_title:
        sys.exit(f"title line {title!r}, expected {expected_title!r}")
    render(page, "-z")
    # Plain text without overstriking, so that headings read as themselves.
    text = render(page, "-Tascii", "-P-cbou")
    lines = text.splitlines()

    headings = [line for line in lines if re.fullmatch(r"[A-Z][A-Z ]*[A-Z]", line)]
    if headings != SECTIONS:
        sys.exit(f"sections {headings}, expected {SECTIONS}")

    start = lines.index("EXIT STATUS")
    end = lines.index(SECTIONS[SECTIONS.index("EXIT STATUS") + 1])
    documented = {int(m.group(1)) for line in lines[start:end]
                  if (m := re.match(r"\s+(\d+)\s{2,}\S", line))}
    with open(header, encoding="utf-8") as source:
        codes = {int(value) for value in re.findall(r"=\s*(\d+);", source.read())}
    codes.add(0)
    if documented != codes:
        sys.exit(f"EXIT STATUS lists {sorted(documented)}\n"
                 f"the program has      {sorted(codes)}\n"
                 f"missing: {sorted(codes - documented)}, unknown: {sorted(documented - codes)}")
    print(f"manual page: renders cleanly, {len(SECTIONS)} sections, {len(codes)} exit statuses")


if __name__ == "__main__":
    main()
