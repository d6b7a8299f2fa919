#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Puts the licence line into every source file git knows that lacks one.

The line goes first, or second after a shebang (and, in scdoc pages, after the
title line, which scdoc wants first; in XML, after the declaration). Files that
already carry an SPDX-License-Identifier in their first lines are left alone, so
the script can be run again at any time, e.g. after merging branches:

    scripts/add-spdx.py          # adds the lines
    scripts/add-spdx.py --check  # lists files without one, exit 1 if any

Third-party test data (tests/data/) keeps its own licence and is skipped.
"""
import os
import subprocess
import sys

LICENCE = "GPL-3.0-or-later"
TAG = "SPDX-License-Identifier:"
SKIP_PREFIXES = ("tests/data/",)


def comment_style(path):
    """Returns (prefix, suffix, lines to keep above) for a file, or None to skip it."""
    name = os.path.basename(path)
    ext = os.path.splitext(name)[1]
    if ext in (".cpp", ".h", ".hpp", ".cc", ".c"):
        return ("// ", "", 0)
    if ext in (".py", ".sh", ".cmake") or name in ("CMakeLists.txt", "Makefile", ".gitignore"):
        return ("# ", "", None)
    if path == ".ci/run":
        return ("# ", "", None)
    if ext == ".scd":
        return ("; ", "", 1)
    if ext == ".desktop":
        return ("# ", "", 0)
    if ext == ".xml":
        return ("<!-- ", " -->", None)
    return None


def needs_line(text):
    return TAG not in "\n".join(text.split("\n")[:4])


def add_line(path, style):
    prefix, suffix, keep = style
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if not needs_line(text):
        return False
    lines = text.split("\n")
    if keep is None:  # shebang or XML declaration stays first
        keep = 1 if lines and (lines[0].startswith("#!") or lines[0].startswith("<?xml")) else 0
    lines.insert(keep, f"{prefix}{TAG} {LICENCE}{suffix}")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    return True


def main():
    check = "--check" in sys.argv[1:]
    top = subprocess.run(["git", "rev-parse", "--show-toplevel"], check=True,
                         capture_output=True, text=True).stdout.strip()
    os.chdir(top)
    files = subprocess.run(["git", "ls-files", "-z"], check=True,
                           capture_output=True, text=True).stdout.split("\0")
    missing = []
    for path in files:
        if not path or path.startswith(SKIP_PREFIXES) or not os.path.isfile(path):
            continue
        style = comment_style(path)
        if style is None:
            continue
        if check:
            with open(path, encoding="utf-8") as f:
                if needs_line(f.read()):
                    missing.append(path)
        elif add_line(path, style):
            missing.append(path)
    for path in missing:
        print(("no licence line: " if check else "added: ") + path)
    return 1 if check and missing else 0


if __name__ == "__main__":
    sys.exit(main())
