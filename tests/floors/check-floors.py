#!/usr/bin/env python3
"""Fails when a source folder includes a header of a folder above it.

The folders of src/ are floors, each using only the floors below it:
base, device, firmware, control, graph, ui, controller, windows, app.
One allowance: graph's controls are widgets of the Qt library and use the ui
framework (owner notification, display scale, language changes); graph's
maths are in the Qt-free library, where a ui header would not even build.

Usage: check-floors.py SRC_DIR
"""
import os
import re
import sys

FLOORS = ['base', 'device', 'firmware', 'control', 'graph', 'ui', 'controller', 'windows',
          'app']
ALLOWED_UP = {('graph', 'ui')}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/[^"]+"', re.MULTILINE)


def violations(src):
    found = []
    for floor in FLOORS:
        level = FLOORS.index(floor)
        for root, _, files in os.walk(os.path.join(src, floor)):
            for name in sorted(files):
                if not name.endswith(('.h', '.cpp')):
                    continue
                path = os.path.join(root, name)
                with open(path, encoding='utf-8') as f:
                    text = f.read()
                for match in INCLUDE.finditer(text):
                    target = match.group(1)
                    if target not in FLOORS or (floor, target) in ALLOWED_UP:
                        continue
                    if FLOORS.index(target) > level:
                        line = text.count('\n', 0, match.start()) + 1
                        found.append(f'{os.path.relpath(path, src)}:{line}: {floor}/ includes '
                                     f'{target}/, a floor above it')
    return found


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    found = violations(sys.argv[1])
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
