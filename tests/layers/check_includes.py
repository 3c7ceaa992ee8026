#!/usr/bin/env python3
"""Every quoted include is written from the repository root and names a file there.

An include the compiler finds beside the including file slips past the layer include roots
(a file in platform/ could include "linux/SatPassThrough.h" and see the backend), so such an
include is refused even when it happens to build. Usage: check_includes.py ROOT [FOLDER...]
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc")


def problems(root, folders):
    for folder in folders:
        for base, dirs, files in os.walk(os.path.join(root, folder)):
            dirs[:] = [d for d in dirs if d not in ("build", "corpus", "fixtures")]
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(base, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                rel = os.path.relpath(path, root)
                for included in INCLUDE.findall(text):
                    beside = os.path.normpath(os.path.join(base, included))
                    from_root = os.path.normpath(os.path.join(root, included))
                    if not os.path.isfile(from_root):
                        yield f'{rel}: "{included}" is not a path from the repository root'
                    elif os.path.isfile(beside) and beside != from_root:
                        yield f'{rel}: "{included}" also names {os.path.relpath(beside, root)} beside it'


def main():
    root = os.path.abspath(sys.argv[1])
    folders = sys.argv[2:] or [d for d in sorted(os.listdir(root))
                               if os.path.isdir(os.path.join(root, d))
                               and not d.startswith(".") and d != "build"]
    found = list(problems(root, folders))
    for line in found:
        print(line)
    print(f"{len(found)} include(s) not written from the repository root")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
