#!/usr/bin/env bash
# Builds the Debian package: build/kavelo-dsp_<version>_<arch>.deb.
# Usage: scripts/package.sh   (then: sudo apt install ./build/kavelo-dsp_*.deb)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

bash scripts/setup-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target kavelo-dsp kavelo-cli
(cd build && cpack -G DEB)
ls build/kavelo-dsp_*.deb
