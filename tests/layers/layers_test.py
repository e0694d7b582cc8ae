#!/usr/bin/env python3
"""Every #include under src/ points down the layers (docs/ARCHITECTURE.md), never back up or
sideways: each folder may include only itself and the folders listed for it below. Prints each
include that runs the wrong way, and each folder the table does not place, and exits 1 then."""
import pathlib
import re
import sys

SRC = pathlib.Path(sys.argv[1])
BACKENDS = ("platform/qt", "platform/curl", "platform/dbus")
# From the top down: what each layer may include besides itself.
ALLOWED = {
    "app": {"window", "batch", "transfer", "lists", *BACKENDS, "platform", "resources"},
    "window": {"batch", "transfer", "lists", "platform", "resources"},
    "batch": {"transfer", "platform", "resources"},
    "transfer": {"platform", "resources"},
    "lists": {"platform", "resources"},
    **{b: {"platform", "resources"} for b in BACKENDS},
    "platform": {"resources"},
    "resources": set(),
}


def layer(path: str) -> str:
    parts = path.split("/")
    return "/".join(parts[:2]) if parts[0] == "platform" and len(parts) > 2 else parts[0]


wrong = []
for f in sorted(SRC.rglob("*")):
    if f.suffix not in (".h", ".cpp"):
        continue
    own = layer(str(f.relative_to(SRC)))
    if own not in ALLOWED:
        wrong.append(f"{f.relative_to(SRC)}: folder {own} has no place in the layers")
        continue
    for n, line in enumerate(f.read_text(encoding="utf-8").splitlines(), 1):
        m = re.match(r'#include "([^"]+)"', line)
        if m and (to := layer(m.group(1))) != own and to not in ALLOWED[own]:
            wrong.append(f"{f.relative_to(SRC)}:{n}: {own} includes {m.group(1)} ({to})")
print("\n".join(wrong) or "layers: every include points down")
sys.exit(1 if wrong else 0)
