#!/usr/bin/env bash
# Installs the dependencies, builds the application and starts it against the
# built-in virtual amplifier. Extra arguments go to the program, e.g.
#   scripts/run.sh --screenshot main.png     (with QT_QPA_PLATFORM=offscreen: a smoke check)
# Set KAVELO_BUILD_DIR to build elsewhere, JOBS for the build's parallelism.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${KAVELO_BUILD_DIR:-$here/build}"

bash "$here/scripts/setup-deps.sh"
cmake -S "$here" -B "$build" -G Ninja
cmake --build "$build" --target kavelo-dsp --parallel "${JOBS:-2}"
exec "$build/kavelo-dsp" --demo "$@"
