#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The layers and what each may use are the rows of the table below; the build
links the libraries the same way, so this check turns an upward #include into
a failing test even where the header alone would have compiled.
"""
import pathlib
import re
import sys

# format is the bottom: its Contact and the list of contact properties are
# the words the Outlook interface and the field catalogue are written in.
MAY_USE = {
    "format": {"format"},
    "platform": {"platform", "format"},
    "platform/qt": {"platform", "platform/qt", "format"},
    "platform/contacts": {"platform", "platform/contacts", "format"},
    "platform/workbook": {"platform", "platform/workbook", "format"},
    "core": {"core", "platform", "format"},
    "actions": {"actions", "core", "platform"},
    "app": None,  # the top: everything below but the command line
    "cli": {"cli", "core", "actions", "platform", "platform/qt", "platform/contacts", "platform/workbook", "format"},
}
IMPLEMENTATIONS = ("qt", "contacts", "workbook")


def layer_of(relative: str):
    parts = relative.split("/")
    if parts[0] == "platform" and len(parts) > 2 and parts[1] in IMPLEMENTATIONS:
        return "platform/" + parts[1]
    return parts[0]


def main(src: pathlib.Path) -> int:
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or path.parent == src:
            continue
        own = layer_of(path.relative_to(src).as_posix())
        if own not in MAY_USE:
            problems.append(f"{path}: in no known layer ({own})")
            continue
        allowed = MAY_USE[own]
        for header in include.findall(path.read_text(encoding="utf-8")):
            used = layer_of(header)
            # Only main() chooses between the window and the command line.
            if used == "cli" and own != "cli":
                problems.append(f"{path}: {own} may not include {header} (only main uses cli)")
            elif allowed is not None and used not in allowed:
                problems.append(f"{path}: {own} may not include {header} ({used})")
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
