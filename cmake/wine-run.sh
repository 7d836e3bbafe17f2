#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, headless and in a Wine
# prefix of its own: WINEPREFIX when set, else wine-prefix/ in the current
# build folder's parent of the program (build-windows/wine-prefix).
# Usage: cmake/wine-run.sh PROGRAM.exe [ARGS...]
set -euo pipefail
if [ -z "${WINEPREFIX:-}" ]; then
  program_dir="$(cd "$(dirname "$1")" && pwd)"
  # The build folder is the nearest folder above the program with a CMakeCache.txt.
  dir="$program_dir"
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir="$(dirname "$dir")"; done
  [ "$dir" = / ] && dir="$program_dir"
  export WINEPREFIX="$dir/wine-prefix"
fi
export WINEDEBUG="${WINEDEBUG:--all}"
# Without a UTF-8 locale Wine cannot create file names outside ASCII.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# No window of Wine's own (no display is needed or wanted).
export DISPLAY= WAYLAND_DISPLAY=
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
