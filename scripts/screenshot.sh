#!/usr/bin/env bash
# Renders windows of the skin to PNG on Qt's offscreen platform.
#   scripts/screenshot.sh [out-dir] [lang] [dpi] [window...]
# Defaults: out-dir "screenshots", lang "en", dpi 96, every window.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-screenshots}"
lang="${2:-en}"
dpi="${3:-96}"
shift $(( $# > 3 ? 3 : $# )) || true
windows=("$@")
[ ${#windows[@]} -eq 0 ] && windows=(main msg checkbox name loading about update force)
tool="${KAVELO_BUILD_DIR:-$here/build}/kavelo-screenshot"
if [ ! -x "$tool" ]; then
  echo "screenshot: $tool not built; run: cmake --build build --target kavelo-screenshot" >&2
  exit 1
fi
mkdir -p "$out"
for w in "${windows[@]}"; do
  QT_QPA_PLATFORM=offscreen "$tool" "$w" "$out/${w}_${lang}_${dpi}.png" "$lang" "$dpi"
  echo "$out/${w}_${lang}_${dpi}.png"
done
