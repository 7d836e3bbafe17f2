#!/usr/bin/env bash
# Inspects the package scripts/package.sh built, installs it on this machine,
# uses it from PATH and removes it again. Needs root (it installs).
# Usage: scripts/check-package.sh [FILE.deb]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
DEB="$(realpath "${1:-$(ls "$ROOT"/build/kavelo-dsp_*.deb | head -n 1)}")"
fail() { echo "check-package: $*" >&2; exit 1; }

echo "check-package: $DEB"
contents="$(dpkg-deb -c "$DEB" | awk '{print $NF}' | sed 's|^\./|/|')"
expected=(
  /usr/bin/kavelo-dsp
  /usr/bin/kavelo-cli
  /usr/share/applications/org.kavelo.KaveloDsp.desktop
  /usr/share/metainfo/org.kavelo.KaveloDsp.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/org.kavelo.KaveloDsp.svg
  /usr/share/icons/hicolor/256x256/apps/org.kavelo.KaveloDsp.png
  /usr/lib/udev/rules.d/70-kavelo-trq540amp.rules
  /usr/share/man/man1/kavelo-dsp.1
  /usr/share/man/man1/kavelo-cli.1
  /usr/share/bash-completion/completions/kavelo-cli
)
for f in "${expected[@]}"; do
  grep -qx "$f" <<<"$contents" || fail "the package lacks $f"
done
# Nothing else but folders: no test programs, no static libraries.
extra="$(grep -v '/$' <<<"$contents" | grep -vxF -f <(printf '%s\n' "${expected[@]}") || true)"
[ -z "$extra" ] || fail "unexpected files in the package: $extra"

depends="$(dpkg-deb -f "$DEB" Depends)"
echo "check-package: Depends: $depends"
for lib in libqt6widgets6 libqt6svg6 libhidapi-hidraw0 libcjson1 libc6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done

unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$DEB" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/org.kavelo.KaveloDsp.desktop"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/org.kavelo.KaveloDsp.metainfo.xml"
# The rule must run before 73-seat-late, which turns the uaccess tag into an ACL.
rule="$(basename "$unpacked"/usr/lib/udev/rules.d/*.rules)"
[[ "$rule" < "73-seat-late.rules" ]] || fail "$rule sorts after 73-seat-late.rules"
grep -q 'TAG+="uaccess"' "$unpacked/usr/lib/udev/rules.d/$rule" || fail "the rule does not tag uaccess"

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q "$DEB" >/dev/null
trap 'apt-get remove -y -q kavelo-dsp >/dev/null 2>&1 || true; rm -rf "$unpacked"' EXIT
home="$(mktemp -d)"
(cd "$home" && HOME="$home" XDG_DATA_HOME="$home/data" PATH=/usr/bin:/bin kavelo-dsp --version) |
  grep -q '^kavelo-dsp (Kavelo DSP) ' || fail "kavelo-dsp --version from PATH"
(cd "$home" && HOME="$home" XDG_DATA_HOME="$home/data" PATH=/usr/bin:/bin kavelo-cli --demo info) |
  grep -q 'TRQ5.40AMP' || fail "kavelo-cli --demo info from PATH"
rm -rf "$home"
for f in /usr/lib/udev/rules.d/70-kavelo-trq540amp.rules \
         /usr/share/applications/org.kavelo.KaveloDsp.desktop; do
  [ -f "$f" ] || fail "$f is not in place after installing"
done

apt-get remove -y -q kavelo-dsp >/dev/null
trap 'rm -rf "$unpacked"' EXIT
for f in "${expected[@]}"; do
  [ ! -e "$f" ] || fail "$f is left behind after removing the package"
done
echo "check-package: installs, runs from PATH and removes cleanly"
