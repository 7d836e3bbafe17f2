#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent and non-interactive: packages already present are skipped.
#
# scripts/setup-deps.sh --windows [FOLDER]
#   also what the Windows build needs: the MinGW-w64 cross compiler (posix
#   threads), Wine to run the result, and the sources of hidapi and cJSON from
#   Debian's source packages, unpacked into FOLDER (build-windows/deps unless
#   given). A deb-src line for the configured Debian mirror is added when apt
#   has none, since `apt-get source` needs one.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools
  libqt6uitools6 libqt6opengl6-dev libqt6svg6 qt6-qpa-plugins libgl-dev libxkbcommon-dev
  libhidapi-dev libcjson-dev libudev-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool xauth python3 fonts-wqy-microhei fonts-dejavu-core
  clang libclang-rt-14-dev
  dpkg-dev desktop-file-utils appstream bash-completion
)
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev googletest)
# The Debian source packages the Windows build compiles itself.
WINDOWS_SOURCES=(hidapi cjson)

windows=0
deps_dir="$ROOT/build-windows/deps"
case "${1:-}" in
  --windows)
    windows=1
    [ -n "${2:-}" ] && deps_dir="$2" ;;
  "") ;;
  *) echo "usage: scripts/setup-deps.sh [--windows [FOLDER]]" >&2; exit 2 ;;
esac
if [ "$windows" = 1 ]; then PACKAGES=("${WINDOWS_PACKAGES[@]}"); fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
updated=0
apt_update() {
  if [ "$updated" = 0 ]; then $SUDO apt-get update -q; updated=1; fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup-deps: all packages present"
else
  echo "setup-deps: installing ${missing[*]}"
  apt_update
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

[ "$windows" = 1 ] || exit 0

# Every source package already unpacked? Then nothing is fetched.
need_sources=0
for s in "${WINDOWS_SOURCES[@]}"; do
  [ -f "$deps_dir/$s.ready" ] || need_sources=1
done
if [ "$need_sources" = 0 ]; then
  echo "setup-deps: Windows sources present in $deps_dir"
  exit 0
fi

# apt-get source reads deb-src entries; a fresh Debian machine has only deb
# ones. Repeat the entry of the configured mirror (its options and key
# included) as a deb-src entry.
codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
if [ -z "$(apt-get indextargets "Release: $codename" 'Identifier: Sources' --format '$(URI)')" ]; then
  entry="$(apt-get indextargets "Release: $codename" 'Identifier: Packages' \
             --format '$(SOURCESENTRY)' | head -n 1)"
  file="${entry%:*}"
  line="${entry##*:}"
  if [ -z "$entry" ] || [ ! -f "$file" ]; then
    echo "setup-deps: no Debian mirror configured for $codename; cannot add deb-src" >&2
    exit 1
  fi
  case "$file" in
    *.sources)
      target=/etc/apt/sources.list.d/kavelo-deb-src.sources
      # The stanza that starts at $line, up to the next blank line.
      awk -v start="$line" 'NR >= start { if ($0 ~ /^[[:space:]]*$/) exit;
                                          if ($0 ~ /^Types:/) $0 = "Types: deb-src"; print }' "$file" |
        $SUDO tee "$target" >/dev/null ;;
    *)
      target=/etc/apt/sources.list.d/kavelo-deb-src.list
      sed -n "${line}s/^[[:space:]]*deb[[:space:]]/deb-src /p" "$file" | $SUDO tee "$target" >/dev/null ;;
  esac
  echo "setup-deps: added $target:"
  cat "$target"
  updated=0
fi
apt_update

mkdir -p "$deps_dir"
for s in "${WINDOWS_SOURCES[@]}"; do
  [ -f "$deps_dir/$s.ready" ] && continue
  rm -rf "${deps_dir:?}/$s" "$deps_dir/$s"-[0-9]* "$deps_dir/$s"_*
  # As root apt downloads as the sandbox user, who may not write here.
  (cd "$deps_dir" && apt-get source -q --download-only "$s" && dpkg-source -x --no-check "$s"_*.dsc)
  unpacked="$(find "$deps_dir" -maxdepth 1 -type d -name "$s-[0-9]*" | head -n 1)"
  if [ -z "$unpacked" ]; then
    echo "setup-deps: the $s sources did not unpack" >&2
    exit 1
  fi
  mv "$unpacked" "$deps_dir/$s"
  touch "$deps_dir/$s.ready"
done
echo "setup-deps: Windows sources in $deps_dir"
