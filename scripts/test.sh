#!/usr/bin/env bash
# Installs the dependencies, configures, builds and runs every test with ctest.
# Usage: scripts/test.sh [--sanitize | --tsan]
#   --sanitize  AddressSanitizer + UBSan build of everything (build-asan/)
#   --tsan      ThreadSanitizer build of the Qt-free unit tests (build-tsan/):
#               the device link, queue, upgrade engine and virtual amplifier
#               are multithreaded
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

BUILD_DIR="build"
EXTRA=()
case "${1:-}" in
  --sanitize)
    BUILD_DIR="build-asan"
    EXTRA=(-DKAVELO_SANITIZE=ON -DKAVELO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
  --tsan)
    BUILD_DIR="build-tsan"
    EXTRA=(-DKAVELO_TSAN=ON -DKAVELO_BENCH=OFF) ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--sanitize | --tsan]" >&2; exit 2 ;;
esac

bash scripts/setup-deps.sh

JOBS="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B "$BUILD_DIR" -G Ninja "${EXTRA[@]}"

if [ "${1:-}" = "--tsan" ]; then
  cmake --build "$BUILD_DIR" -j "$JOBS" --target kavelo_unit_tests
  # One process runs every case; a reported race fails it.
  TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1}" \
    "$BUILD_DIR/tests/kavelo_unit_tests" --gtest_brief=1
  exit 0
fi

cmake --build "$BUILD_DIR" -j "$JOBS"

# Widgets run on Qt's offscreen platform; no display is needed.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"
