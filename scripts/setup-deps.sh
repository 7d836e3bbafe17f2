#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent and non-interactive: packages already present are skipped.
set -euo pipefail

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

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
echo "setup-deps: installing ${missing[*]}"
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
