#!/usr/bin/env python3
"""Checks that every include of the library, the runtime and the platform layer points to its
own folder or one below it, so that the tree's layout says what depends on what.
Usage: check_layout.py SOURCE_DIR"""
import pathlib
import re
import sys

# Each folder and the folders it may include from (its own is always allowed).
BELOW = {
    "include": [],
    "platform": [],
    "runtime": ["platform"],
    "resources": ["platform"],
    "support": ["resources", "platform", "include"],
    "outline": ["support", "resources", "platform", "include"],
    "comparefile": ["outline", "support", "resources", "platform", "include"],
    "compare": ["outline", "comparefile", "support", "resources", "platform", "include"],
    "apply": ["compare", "outline", "comparefile", "support", "resources", "platform", "include"],
    "merge": ["compare", "outline", "comparefile", "support", "resources", "platform", "include"],
    "driver": ["compare", "outline", "comparefile", "support", "resources", "platform", "include"],
}

root = pathlib.Path(sys.argv[1])
failures = []
for folder, allowed in BELOW.items():
    for path in sorted((root / folder).rglob("*")):
        if path.suffix not in (".h", ".cpp", ".c", ".inc"):
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = re.match(r'\s*#\s*include\s+"([a-z_]+)/', line)
            if match and match.group(1) != folder and match.group(1) not in allowed:
                failures.append(f"{path.relative_to(root)}:{number}: includes from {match.group(1)}/")
print("\n".join(failures) or "every include points to its own folder or below")
sys.exit(1 if failures else 0)
