#!/usr/bin/env python3
"""Lists the functions longer than a limit in C++ files formatted by the repo's .clang-format.

A function starts at a line in column 0 that holds '(' (its signature, which may go on over indented
lines up to the one ending in '{') and ends at the next line that is a lone '}' in column 0; its length
counts both lines. Tables (initialised objects) and declarations are not functions.
Usage: scripts/long_functions.py [--limit N] DIR_OR_FILE...   (default limit 80; exit 1 if any found)
"""
import pathlib
import re
import sys

NOT_FUNCTION = re.compile(r"^(namespace|class|struct|enum|union|extern|#)|=|;")


def long_functions(path, limit):
    lines = path.read_text(encoding="utf-8").splitlines()
    found = []
    start = None
    opened = False
    for number, line in enumerate(lines, 1):
        if start is None:
            if line and not line[0].isspace() and "(" in line and not NOT_FUNCTION.search(line):
                start = number
                opened = line.endswith("{")
        elif not opened:
            if line.endswith(";") or not line[:1].isspace():
                start = None
            opened = line.endswith("{")
        elif line.startswith("}"):
            if number - start + 1 > limit:
                found.append((start, number - start + 1, lines[start - 1]))
            start = None
    return found


def main(argv):
    limit = 80
    if len(argv) >= 2 and argv[0] == "--limit":
        limit = int(argv[1])
        argv = argv[2:]
    if not argv:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    files = []
    for name in argv:
        p = pathlib.Path(name)
        files += sorted(p.rglob("*.cpp")) + sorted(p.rglob("*.hpp")) if p.is_dir() else [p]
    status = 0
    for f in files:
        for start, length, text in long_functions(f, limit):
            print(f"{f}:{start}: {length} lines: {text.strip()}")
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
