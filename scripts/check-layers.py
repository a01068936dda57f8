#!/usr/bin/env python3
"""Checks that no include goes from a lower layer to a higher one.

The layers, lowest first: the engine and the platform core; the application
identity; the log core; the workflow core; the Qt side of the platform; the
resources; the custom controls; the log's dialogs; the workflow's dialogs;
the desktop program and the command line (side by side, neither includes
the other). A file may include its own layer and any lower one. The core
layers (and the command line) include no Qt header either.

The Qt halves have folders of their own (platform/qt, log/gui and
workflow/gui), so a file's folder alone says its layer.

Usage: check-layers.py [source root]; prints each offending include and
exits 1 if there is any.
"""
import pathlib
import re
import sys

FOLDERS = ("engine", "platform", "identity", "log", "workflow", "res", "controls", "app", "cli")
# Layer name -> rank. The platform core sits below the engine that uses it;
# equal ranks of different layers may not include each other.
RANKS = {
    "platform": 0,
    "engine": 1,
    "identity": 2,
    "log": 3,
    "workflow": 4,
    "platform_qt": 5,
    "res": 6,
    "controls": 7,
    "log_dialogs": 8,
    "workflow_dialogs": 9,
    "app": 10,
    "cli": 10,
}
QT_FREE = {"engine", "platform", "identity", "log", "workflow", "cli"}
# Sub-folders that are layers of their own.
SUBLAYERS = {
    ("platform", "qt"): "platform_qt",
    ("log", "gui"): "log_dialogs",
    ("workflow", "gui"): "workflow_dialogs",
}
INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*([<"])([^>"]+)[>"]', re.M)


def layer_of(path: pathlib.PurePosixPath):
    folder = path.parts[0]
    if folder not in FOLDERS:
        return None
    if len(path.parts) > 2:
        return SUBLAYERS.get((folder, path.parts[1]), folder)
    return folder


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    faults = []
    for folder in FOLDERS:
        for file in sorted((root / folder).rglob("*")):
            if file.suffix not in (".h", ".cpp"):
                continue
            rel = pathlib.PurePosixPath(file.relative_to(root).as_posix())
            source = layer_of(rel)
            text = file.read_text(encoding="utf-8", errors="replace")
            for match in INCLUDE.finditer(text):
                kind, name = match.groups()
                line = text.count("\n", 0, match.start()) + 1
                if kind == "<":
                    if source in QT_FREE and re.match(r"Q[A-Za-z]*($|/)", name):
                        faults.append(f"{rel}:{line}: a core file includes <{name}>")
                    continue
                target = layer_of(pathlib.PurePosixPath(name))
                if target is None or target == source:
                    continue
                if RANKS[target] >= RANKS[source]:
                    faults.append(f"{rel}:{line}: {source} includes \"{name}\" ({target})")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
