#!/usr/bin/env bash
# Installs the dependencies, configures, builds and runs every test with ctest.
# Usage: scripts/test.sh [--sanitize | --tsan | --windows]
#   --sanitize  AddressSanitizer + UBSan build of everything (build-asan/)
#   --tsan      ThreadSanitizer build of the Qt-free unit tests (build-tsan/):
#               the device link, queue, upgrade engine and virtual amplifier
#               are multithreaded
#   --windows   the Qt-free core, the virtual amplifier, kavelo-cli.exe and the
#               Qt-free unit tests cross-compiled with MinGW-w64
#               (build-windows/) and run under Wine; kavelo-cli.exe is compared
#               with the Linux build's kavelo-cli (build/)
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
  --windows)
    BUILD_DIR="build-windows" ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--sanitize | --tsan | --windows]" >&2; exit 2 ;;
esac

bash scripts/setup-deps.sh

JOBS="$(nproc 2>/dev/null || echo 2)"

if [ "${1:-}" = "--windows" ]; then
  bash scripts/setup-deps.sh --windows "$ROOT/$BUILD_DIR/deps"
  # The reference: the Linux kavelo-cli (already built when the Linux tests ran).
  cmake -S . -B build -G Ninja
  cmake --build build -j "$JOBS" --target kavelo-cli
  # Stripped programs: Wine reads the whole file at every start, and the debug
  # information makes a test program start take three times as long.
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DKAVELO_WINDOWS_DEPS="$ROOT/$BUILD_DIR/deps" -DKAVELO_LINUX_CLI="$ROOT/build/tools/kavelo-cli" \
        -DCMAKE_EXE_LINKER_FLAGS=-s
  cmake --build "$BUILD_DIR" -j "$JOBS"

  # Headless Wine with a prefix of its own (cmake/wine-run.sh sets the rest).
  export WINEPREFIX="$ROOT/$BUILD_DIR/wine-prefix" WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  # The Wine server and the prefix's services start before ctest, detached:
  # started by the first test they would hold ctest's output pipe open and
  # ctest would wait for ever.
  # (A server already running for this prefix refuses to start twice: fine.)
  setsid wineserver -p </dev/null >/dev/null 2>&1 || true
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  setsid wine wineboot </dev/null >"$ROOT/$BUILD_DIR/wineboot.log" 2>&1
  # Tests about Linux alone are labelled and left out; every test has a bound.
  ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" -LE linux-only --timeout 300
  exit 0
fi
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
