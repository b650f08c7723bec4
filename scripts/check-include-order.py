#!/usr/bin/env python3
"""Checks that the library's rooms include one another in one direction only.

The order, top to bottom: app, camera, then stream, display, receiver and
command side by side, registry, imaging, platform. A room may include its
own headers and those of any room below it; of the rooms side by side only
stream may use command and display, whose operations it drives. Prints every
include that breaks the order and exits 1 if there is one.
"""
import pathlib
import re
import sys

RANK = {"app": 0, "camera": 1, "stream": 2, "display": 2, "receiver": 2,
        "command": 2, "registry": 3, "imaging": 4, "platform": 5}
SIDEWAYS = {("stream", "command"), ("stream", "display")}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def allowed(room, target):
    if target not in RANK or target == room:
        return True
    if (room, target) in SIDEWAYS:
        return True
    return RANK[target] > RANK[room]


def main():
    library = pathlib.Path(__file__).resolve().parent.parent / "library"
    broken = []
    for path in sorted(library.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        room = path.relative_to(library).parts[0]
        if room not in RANK:
            continue
        for number, line in enumerate(path.read_text().splitlines(), 1):
            match = INCLUDE.match(line)
            if match and not allowed(room, match.group(1)):
                broken.append(f"{path.relative_to(library.parent)}:{number}: "
                              f"{room} includes {match.group(1)}")
    for line in broken:
        print(line)
    if broken:
        print(f"{len(broken)} includes break the order of the rooms")
        return 1
    print("the rooms include one another in one direction")
    return 0


if __name__ == "__main__":
    sys.exit(main())
