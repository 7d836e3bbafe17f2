#!/usr/bin/env bash
# Builds the four libFuzzer targets with clang in build-fuzz/ and runs each
# for a short while on a scratch copy of its seed corpus (the checked-in
# corpus never grows), after replaying every kept profile input through the
# profile fuzzer. Exits non-zero when a target crashes, leaks or times out and
# prints where the failing input was written.
# Installs nothing: run scripts/setup-deps.sh first (clang, libclang-rt-14-dev).
# Usage: bash scripts/fuzz-smoke.sh
# Environment: FUZZ_SECONDS (per target, default 60), JOBS (build jobs).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

SECONDS_PER_TARGET="${FUZZ_SECONDS:-60}"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
BUILD_DIR="build-fuzz"
# Kept after the run so a failing input can be replayed.
ARTIFACTS="$ROOT/$BUILD_DIR/fuzz-artifacts"

for tool in clang clang++ cmake ninja; do
  if ! command -v "$tool" >/dev/null; then
    echo "fuzz-smoke: $tool not found; run scripts/setup-deps.sh first" >&2
    exit 2
  fi
done

LAUNCHER=()
if command -v ccache >/dev/null; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
else
  # An earlier configure may have named it; clear it rather than fail the build.
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER= -DCMAKE_C_COMPILER_LAUNCHER=)
fi

# The seed writer is built too, so that it keeps compiling.
TARGETS=(profile_fuzz kavelo_fuzz_upgrade_file kavelo_fuzz_device_reply kavelo_fuzz_filter_text
  kavelo_make_upgrade_seeds)
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DKAVELO_FUZZ=ON -DKAVELO_BENCH=OFF \
  "${LAUNCHER[@]}"
cmake --build "$BUILD_DIR" --parallel "$JOBS" --target "${TARGETS[@]}"

SCRATCH="$(mktemp -d "${TMPDIR:-/tmp}/kavelo-fuzz-smoke.XXXXXX")"
trap 'rm -rf "$SCRATCH"' EXIT
rm -rf "$ARTIFACTS"
mkdir -p "$ARTIFACTS"

failures=0

# Runs one fuzzer invocation; on failure names the input libFuzzer wrote.
# $1: label, rest: the command.
run() {
  local label="$1"
  shift
  local log="$SCRATCH/${label//[^A-Za-z0-9_-]/_}.log"
  echo "fuzz-smoke: $label"
  if "$@" >"$log" 2>&1; then
    grep -E '^(#[0-9]+[[:space:]]+DONE|Executed )' "$log" | tail -n 1 || true
    return 0
  fi
  failures=$((failures + 1))
  echo "fuzz-smoke: $label FAILED" >&2
  grep -E '^(==[0-9]+== ?ERROR|SUMMARY|.*runtime error:|ALARM|.*-- leak|.*deadly signal)' "$log" \
    | head -n 5 >&2 || true
  local written
  written="$(grep -o 'Test unit written to .*' "$log" | sed 's/^Test unit written to //' || true)"
  if [ -n "$written" ]; then
    echo "fuzz-smoke: failing input: $written" >&2
  else
    echo "fuzz-smoke: no input was written; the log follows" >&2
    tail -n 40 "$log" >&2
  fi
  return 0
}

# One input running longer than this counts as a hang.
COMMON=(-timeout=30)

BIN="$BUILD_DIR/fuzz"

# The kept upgrade-file seeds are what the seed writer writes: a change to the
# container format that left them behind would fuzz yesterday's files.
SEEDS="$SCRATCH/upgrade-seeds"
mkdir -p "$SEEDS"
echo "fuzz-smoke: upgrade-file seeds against their writer"
if ! "$BIN/kavelo_make_upgrade_seeds" "$SEEDS" >/dev/null \
  || ! diff -r "$SEEDS" fuzz/corpus/upgrade-file >&2; then
  failures=$((failures + 1))
  echo "fuzz-smoke: fuzz/corpus/upgrade-file differs from what kavelo_make_upgrade_seeds writes;" \
    "run it on that folder and commit the result" >&2
fi
mapfile -t kept < <(find tests/fixtures/profiles/fuzz tests/fixtures/profiles/broken -type f ! -name README.md | sort)
if [ ${#kept[@]} -gt 0 ]; then
  run "profile_fuzz: replay of ${#kept[@]} kept inputs" \
    "$BIN/profile_fuzz" "${COMMON[@]}" -artifact_prefix="$ARTIFACTS/replay-" "${kept[@]}"
fi

fuzz() {
  local target="$1" corpus="$2"
  shift 2
  local copy="$SCRATCH/corpus-$target"
  mkdir -p "$copy"
  if [ -n "$corpus" ]; then cp -R "$corpus/." "$copy/"; fi
  run "$target (${SECONDS_PER_TARGET} s)" "$BIN/$target" "${COMMON[@]}" \
    -max_total_time="$SECONDS_PER_TARGET" -seed=1 -artifact_prefix="$ARTIFACTS/$target-" "$@" \
    "$copy"
}

fuzz profile_fuzz fuzz/corpus/profile -dict=fuzz/profile.dict
fuzz kavelo_fuzz_device_reply fuzz/corpus/device-reply
fuzz kavelo_fuzz_upgrade_file fuzz/corpus/upgrade-file
fuzz kavelo_fuzz_filter_text fuzz/corpus/filter-text -dict=fuzz/filter-text.dict

if [ "$failures" -ne 0 ]; then
  echo "fuzz-smoke: $failures run(s) failed; inputs are in $ARTIFACTS" >&2
  exit 1
fi
echo "fuzz-smoke: all targets ran clean"
