#!/usr/bin/env python3
"""Checks that each area library of src/ includes only itself and the areas it links.

The areas and their links are read from src/CMakeLists.txt (the tresorin_area_library lines);
the includes from the files directly in src/<area>/ (the windowless code; gui/ folders link the
whole GUI library). Also checks that the X11 headers (Xlib, libxdo) appear only in auto-type's X11
layer (src/autotype/X11*.cpp), so that everything else stays testable without an X server. Prints
every include outside the links and exits 1 when there is one.
"""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
src = root / "src"
cmake = (src / "CMakeLists.txt").read_text()

# tresorin_area_library(tresorin_name dir deps...) may go on over several lines.
areas = {}
for m in re.finditer(r"tresorin_area_library\(([^)]*)\)", cmake):
    words = m.group(1).split()
    if len(words) < 2 or words[0] == "name":
        continue
    name, folder, deps = words[0], words[1], words[2:]
    areas[name] = (folder, [d for d in deps if d.startswith("tresorin_")])
folder_of = {name: folder for name, (folder, _) in areas.items()}

failures = []
for name, (folder, deps) in areas.items():
    allowed = {folder} | {folder_of[d] for d in deps if d in folder_of}
    for path in sorted((src / folder).glob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
            if not m:
                continue
            included = m.group(1)
            if "/" not in included:
                continue  # a file of the same folder, or the generated ProductInfo.h
            target = included.rsplit("/", 1)[0]
            if target not in allowed:
                failures.append(f"{path.relative_to(root)}:{number}: {included} (the {name} library links "
                                f"{', '.join(sorted(allowed))})")
# The window system behind auto-type's interface: Xlib and libxdo stay in its X11 layer.
x11_layer = re.compile(r"^src/autotype/X11[^/]*\.cpp$")
for path in sorted(src.rglob("*")):
    if path.suffix not in (".h", ".cpp"):
        continue
    relative = path.relative_to(root).as_posix()
    for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
        m = re.match(r"\s*#\s*include\s+<((X11/[^>]+)|xdo\.h)>", line)
        if m and not x11_layer.match(relative):
            failures.append(f"{relative}:{number}: <{m.group(1)}> outside the X11 layer (src/autotype/X11*.cpp)")

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
