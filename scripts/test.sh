#!/usr/bin/env bash
# Installs the dependencies, configures, builds and runs every test with ctest.
# Usage: scripts/test.sh [--sanitize]   (--sanitize: AddressSanitizer + UBSan build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

BUILD_DIR="build"
EXTRA=()
if [ "${1:-}" = "--sanitize" ]; then
  BUILD_DIR="build-asan"
  EXTRA=(-DKAVELO_SANITIZE=ON -DKAVELO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
fi

bash scripts/setup-deps.sh

JOBS="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B "$BUILD_DIR" -G Ninja "${EXTRA[@]}"
cmake --build "$BUILD_DIR" -j "$JOBS"

# Widgets run on Qt's offscreen platform; no display is needed.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"
