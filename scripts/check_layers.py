#!/usr/bin/env python3
"""Checks that every #include in src/ points down the layers of docs/ARCHITECTURE.md.

The core (src/core) is standard C++ only: its own headers and the C++ standard
library, never Qt or an operating-system header. Inside the core each folder
may include only the folders listed for it below, so the folders form layers
without a cycle. The shells (port, shell, app, cli, simulator) may include the
core; the desktop, the CLI and the simulator may also include port and shell;
no shell includes another program's code.

Usage: check_layers.py [source root]   (default: the src folder beside this script)
Prints every include that breaks a rule and exits 1, or exits 0.
"""
import pathlib
import re
import sys

# Core folder -> the core folders it may include besides itself.
CORE = {
    "model": set(),
    "trees": {"model"},
    "pages": {"model", "trees"},
    "files": {"model", "trees"},
    "link": {"model"},
    "sim": {"model", "link"},
    "listing": {"model", "trees", "files"},
    "window": {"model", "trees", "pages", "files", "listing", "link"},
    "editor": {"model", "trees", "pages", "files", "listing", "window"},
}
ALL_CORE = {"core/" + name for name in CORE}
# Shell folder -> the parts it may include besides itself.
SHELLS = {
    "port": ALL_CORE,
    "shell": ALL_CORE,
    "app": ALL_CORE | {"port", "shell"},
    "cli": ALL_CORE | {"port", "shell"},
    "simulator": ALL_CORE | {"port", "shell"},
}
# Headers that the build generates into the core's include path.
GENERATED = {"vemtaro_version.h"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
# A C++ standard library header: a bare lower-case name without an extension.
STANDARD = re.compile(r"^[a-z_]+$")


def part_of(path, root):
    """The layer a file under root belongs to: "core/<folder>" or a shell folder."""
    parts = path.relative_to(root).parts
    if parts[0] == "core":
        return "core/" + parts[1] if len(parts) > 2 else "core"
    return parts[0]


def resolve(name, including, root):
    """The file that a quoted include names, searched as the build searches."""
    candidates = [including.parent / name]
    if part_of(including, root) == "app":
        candidates.append(root / "app" / name)
    candidates += [root / "core" / name, root / name]
    for candidate in candidates:
        if candidate.is_file():
            return candidate.resolve()
    return None


def allowed(source, target):
    if source == target:
        return True
    if source.startswith("core/"):
        return target.startswith("core/") and target[5:] in CORE.get(source[5:], set())
    return target in SHELLS.get(source, set())


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / "src")
    root = root.resolve()
    faults = []
    files = sorted(p for p in root.rglob("*") if p.suffix in (".h", ".cpp") and p.is_file())
    for path in files:
        source = part_of(path, root)
        if source == "core" or (source.startswith("core/") and source[5:] not in CORE):
            faults.append(f"{path.relative_to(root)}: the core folder is not one of the layers: {', '.join(sorted(CORE))}")
            continue
        if not source.startswith("core/") and source not in SHELLS:
            faults.append(f"{path.relative_to(root)}: the folder is not one of the parts: {', '.join(sorted(SHELLS))}")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            kind, name = match.groups()
            where = f"{path.relative_to(root)}:{number}: {name}"
            if kind == "<":
                if source.startswith("core/") and not STANDARD.match(name):
                    faults.append(f"{where}: the core includes only the C++ standard library")
                continue
            if name in GENERATED:
                continue
            target_path = resolve(name, path, root)
            if target_path is None:
                faults.append(f"{where}: no such file under {root}")
                continue
            target = part_of(target_path, root)
            if not allowed(source, target):
                faults.append(f"{where}: {source} may not include {target}")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layers", file=sys.stderr)
        return 1
    print(f"{len(files)} files, every include points down the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
