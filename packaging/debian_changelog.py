#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a package's changelog in Debian's format from CHANGELOG.md.

CHANGELOG.md is kept by hand: a "## VERSION (YYYY-MM-DD)" heading per release,
then free text and "- " items. Each release becomes one entry of PACKAGE, its
text wrapped into "  * " items, signed by MAINTAINER on the release's date.

    debian_changelog.py CHANGELOG.md PACKAGE "Name <address>" > changelog
"""
import datetime
import re
import sys
import textwrap


def releases(text):
    heading = re.compile(r"^## (\S+) \((\d{4}-\d{2}-\d{2})\)\s*$")
    found = []
    current = None
    for line in text.splitlines():
        m = heading.match(line)
        if m:
            current = {"version": m.group(1), "date": m.group(2), "items": []}
            found.append(current)
        elif current is not None:
            if line.startswith("- "):
                current["items"].append(line[2:].strip())
            elif line.strip() and current["items"] and line.startswith(" "):
                current["items"][-1] += " " + line.strip()
            elif line.strip():
                current["items"].append(line.strip())
    return found


def main():
    source, package, maintainer = sys.argv[1:4]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    out = []
    for rel in releases(text):
        date = datetime.datetime.strptime(rel["date"], "%Y-%m-%d").replace(
            hour=12, tzinfo=datetime.timezone.utc)
        out.append(f"{package} ({rel['version']}) unstable; urgency=medium\n")
        for item in rel["items"]:
            out.append(textwrap.fill(item, width=78, initial_indent="  * ",
                                     subsequent_indent="    ", break_on_hyphens=False))
        out.append("")
        out.append(f" -- {maintainer}  {date.strftime('%a, %d %b %Y %H:%M:%S +0000')}\n")
    if not out:
        sys.exit(f"{source}: no '## VERSION (YYYY-MM-DD)' heading")
    sys.stdout.write("\n".join(out))


if __name__ == "__main__":
    main()
