#!/usr/bin/env python3
"""Fails when a source folder includes a header of a folder above it.

The folders of src/ are floors, each using only the floors below it:
base, device, firmware, control, graph, ui, controller, windows, app.
One allowance: graph's controls are widgets of the Qt library and use the ui
framework (owner notification, display scale, language changes); graph's
maths are in the Qt-free library, where a ui header would not even build.

Quoted and angle-bracket includes are read; a relative include ("../x/y.h",
"y.h") is taken from the including file's folder. A missing floor folder, or a
tree with no source file at all, is an error too: a check that read nothing
must not pass.

Usage: check-floors.py SRC_DIR
       check-floors.py --expect EXPECTED_FILE SRC_DIR
         (the fixture check: passes only when the violations found in SRC_DIR
          are exactly the lines of EXPECTED_FILE)
"""
import os
import re
import sys

FLOORS = ['base', 'device', 'firmware', 'control', 'graph', 'ui', 'controller', 'windows',
          'app']
ALLOWED_UP = {('graph', 'ui')}
INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)', re.MULTILINE)


def floor_of(src, including_dir, target, quoted):
    """The floor an include lands in, or None for anything outside src/'s floors."""
    target = target.replace('\\', '/')
    if quoted:
        local = os.path.normpath(os.path.join(including_dir, target))
        if target.startswith(('./', '../')) or os.path.exists(local):
            target = os.path.relpath(local, src).replace('\\', '/')
    first = target.split('/')[0]
    return first if '/' in target and first in FLOORS else None


def scan(src):
    """(violations, problems): the lines to report and why the scan itself failed."""
    found, problems, scanned = [], [], 0
    for floor in FLOORS:
        folder = os.path.join(src, floor)
        if not os.path.isdir(folder):
            problems.append(f'{floor}/: floor folder missing under {src}')
            continue
        level = FLOORS.index(floor)
        for root, _, files in os.walk(folder):
            for name in sorted(files):
                if not name.endswith(('.h', '.cpp')):
                    continue
                scanned += 1
                path = os.path.join(root, name)
                with open(path, encoding='utf-8') as f:
                    text = f.read()
                for match in INCLUDE.finditer(text):
                    quoted = match.group(1) is not None
                    target_floor = floor_of(src, root, match.group(1) or match.group(2),
                                            quoted)
                    if target_floor is None or (floor, target_floor) in ALLOWED_UP:
                        continue
                    if FLOORS.index(target_floor) > level:
                        line = text.count('\n', 0, match.start()) + 1
                        found.append(f'{os.path.relpath(path, src)}:{line}: {floor}/ includes '
                                     f'{target_floor}/, a floor above it')
    if scanned == 0:
        problems.append(f'no source file found under {src}')
    return found, problems


def main(argv):
    expected = None
    if len(argv) == 4 and argv[1] == '--expect':
        with open(argv[2], encoding='utf-8') as f:
            expected = [line for line in f.read().splitlines() if line]
        argv = [argv[0], argv[3]]
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[-5], file=sys.stderr)
        return 2
    found, problems = scan(argv[1])
    for line in problems:
        print(line, file=sys.stderr)
    for line in found:
        print(line)
    if expected is not None:
        if problems or found != expected:
            print('expected:', *expected, sep='\n  ', file=sys.stderr)
            return 1
        return 0
    return 1 if found or problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
