#!/usr/bin/env python3
"""Checks that every #include of the sources points down the layer order.

The folders of src/ are layers, lowest first (the README's table). A file
may include its own folder and the folders below it, never one above; so
no two folders can depend on each other. Besides:
  - startup/program.h, the whole program, is seen only by main and the
    test support (src/testing, tests/, bench/, fuzz/);
  - SQLite's header is included only inside platform/;
  - the program's code reaches files through the FileSystem it is given:
    platform/files.h, free functions on the real disk, is for platform/
    itself and the test support;
  - the backends of the platform (platform/posix/, platform/win32/) are named to the rest
    of the program only by platform/native.h.
Prints every violation and exits 1 when there is one.
"""
import os
import re
import sys

ORDER = ["platform", "format", "base", "data", "intranet", "screen", "entry", "lists", "forms", "startup"]
RANK = {name: i for i, name in enumerate(ORDER)}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def layer_of(path):
    """The layer of a source file under src/, None for src/testing."""
    parts = path.split(os.sep)
    if len(parts) >= 3 and parts[0] == "src":
        return parts[1]
    return None


def main(root):
    problems = []
    for top in ("src", "tools", "tests", "bench", "fuzz"):
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith((".h", ".cc")):
                    continue
                full = os.path.join(folder, name)
                rel = os.path.relpath(full, root)
                layer = layer_of(rel)
                if layer is not None and layer != "testing" and layer not in RANK:
                    problems.append(f"{rel}: folder src/{layer} is not in the layer order")
                    continue
                with open(full, encoding="latin-1") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        kind, target = m.groups()
                        where = f"{rel}:{number}"
                        if kind == "<":
                            if target == "sqlite3.h" and layer != "platform" and top == "src":
                                problems.append(f"{where}: SQLite's header outside platform/")
                            continue
                        used = target.split("/")[0]
                        if target == "startup/program.h" and layer not in (None, "testing") and rel != os.path.join("src", "startup", "main.cc"):
                            problems.append(f"{where}: only main and the test support see the whole program")
                        if target == "platform/files.h" and layer in RANK and layer != "platform":
                            problems.append(f"{where}: files on the real disk; take the FileSystem you are given")
                        backend = target.startswith("platform/") and target.count("/") >= 2
                        if backend and (layer in RANK and layer != "platform" or top == "tools"):
                            problems.append(f"{where}: a platform backend; use platform/native.h")
                        if top == "tools" and target == "platform/files.h":
                            problems.append(f"{where}: files on the real disk; use a FileSystem")
                        if layer in RANK and used in RANK and RANK[used] > RANK[layer]:
                            problems.append(f"{where}: {layer}/ includes {target}, a layer above it")
                        if top == "tools" and used in RANK and RANK[used] > RANK["intranet"]:
                            problems.append(f"{where}: the data tool uses {target}, above the data layers")
    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include(s) against the layer order: " + " < ".join(ORDER))
        return 1
    print("layers kept: " + " < ".join(ORDER))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")))
