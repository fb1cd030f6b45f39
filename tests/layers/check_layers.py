#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own, a
file of platform/contacts one that lies above it there, or when files include
each other in a loop.

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

# Inside platform/contacts, from the top down: a file may include only files
# of its own rank or below. Discovery only finds paths; telling a book by its
# content and opening it (BookKinds) lies below it, and the readers below that.
CONTACTS_RANK = {
    "ContactStore": 0,
    "Discovery": 1,
    "BookKinds": 2,
    "BookFiles": 2,
    "ReadAhead": 3,
    "VCardBook": 3,
    "DatabaseBook": 3,
    "EdsBook": 3,
    "ThunderbirdBook": 3,
    "OutlookDataFile": 3,
    "PrivateCopy": 4,
    "SqliteConnection": 4,
    "BookReader": 5,
    "RegularFile": 5,
    "Logging": 5,
}


def layer_of(relative: str):
    parts = relative.split("/")
    if parts[0] == "platform" and len(parts) > 2 and parts[1] in IMPLEMENTATIONS:
        return "platform/" + parts[1]
    return parts[0]


def contacts_rank(relative: str, problems: list):
    if layer_of(relative) != "platform/contacts":
        return None
    name = pathlib.PurePosixPath(relative).stem
    if name not in CONTACTS_RANK:
        problems.append(f"{relative}: no rank in platform/contacts (add it to CONTACTS_RANK)")
        return None
    return CONTACTS_RANK[name]


def loops(edges: dict) -> list:
    """The cycles of the unit graph, each once, as lists of units."""
    found, state, stack = [], {}, []

    def visit(unit):
        state[unit] = "open"
        stack.append(unit)
        for other in sorted(edges.get(unit, ())):
            if state.get(other) == "open":
                found.append(stack[stack.index(other):] + [other])
            elif other not in state:
                visit(other)
        stack.pop()
        state[unit] = "done"

    for unit in sorted(edges):
        if unit not in state:
            visit(unit)
    return found


def main(src: pathlib.Path) -> int:
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
    problems = []
    # A unit is a .h and its .cpp: X.cpp including Y.h while Y.cpp includes
    # X.h is a loop of calls between the two.
    edges = {}
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or path.parent == src:
            continue
        relative = path.relative_to(src).as_posix()
        unit = relative.rsplit(".", 1)[0]
        own = layer_of(relative)
        rank = contacts_rank(relative, problems)
        if own not in MAY_USE:
            problems.append(f"{path}: in no known layer ({own})")
            continue
        allowed = MAY_USE[own]
        for header in include.findall(path.read_text(encoding="utf-8")):
            used = layer_of(header)
            if (src / header).exists() and header.rsplit(".", 1)[0] != unit:
                edges.setdefault(unit, set()).add(header.rsplit(".", 1)[0])
            used_rank = contacts_rank(header, problems) if rank is not None else None
            if used_rank is not None and used_rank < rank:
                problems.append(f"{path}: may not include {header}, which lies above it in platform/contacts")
            # Only main() chooses between the window and the command line.
            if used == "cli" and own != "cli":
                problems.append(f"{path}: {own} may not include {header} (only main uses cli)")
            elif allowed is not None and used not in allowed:
                problems.append(f"{path}: {own} may not include {header} ({used})")
    for cycle in loops(edges):
        problems.append("include loop: " + " -> ".join(cycle))
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1])))
