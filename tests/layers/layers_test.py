#!/usr/bin/env python3
"""Every #include under src/ points down the layers (docs/ARCHITECTURE.md), never back up.
Prints each include that runs the wrong way and exits 1 when there is one."""
import pathlib
import re
import sys

SRC = pathlib.Path(sys.argv[1])
LOGIC = {"ui", "batch", "transfer", "lists"}
BACKENDS = {"platform/qt", "platform/curl", "platform/dbus"}
# What each layer may include besides itself.
ALLOWED = {
    "resources": set(),
    "platform": {"resources"},
    **{b: {"platform", "resources"} for b in BACKENDS},
    **{l: LOGIC | {"platform", "resources"} for l in LOGIC},
    "app": LOGIC | BACKENDS | {"platform", "resources"},
}


def layer(path: str) -> str:
    parts = path.split("/")
    return "/".join(parts[:2]) if parts[0] == "platform" and len(parts) > 2 else parts[0]


wrong = []
for f in sorted(SRC.rglob("*")):
    if f.suffix not in (".h", ".cpp"):
        continue
    own = layer(str(f.relative_to(SRC)))
    for n, line in enumerate(f.read_text(encoding="utf-8").splitlines(), 1):
        m = re.match(r'#include "([^"]+)"', line)
        if m and (to := layer(m.group(1))) != own and to not in ALLOWED[own]:
            wrong.append(f"{f.relative_to(SRC)}:{n}: {own} includes {m.group(1)} ({to})")
print("\n".join(wrong) or "layers: every include points down")
sys.exit(1 if wrong else 0)
