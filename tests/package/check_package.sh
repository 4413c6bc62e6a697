#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root and checks what a user gets: the
# files, the desktop entry, the AppStream data, programs that start, and lintian's verdict.
# Usage: check_package.sh CPACK CPACK_CONFIG VERSION
set -euo pipefail
cpack=$1 config=$2 version=$3
work=$(mktemp -d -t velmor-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$cpack" -G DEB --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$work/out/velmor-control_${version}_amd64.deb
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $(basename "$deb")"; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ $depends == *libqt6widgets6* && $depends == *libc6* ]] ||
  fail "the dependencies were not read from the programs"

root=$work/root
dpkg-deb -x "$deb" "$root"
(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$work/files"
required=(
  usr/bin/velmor-panel usr/bin/velmor-sim usr/bin/velmorctl
  usr/lib/velmor-control/velmorctl-plots.so
  usr/lib/velmor-control/velmorctl-plots.so
  usr/share/applications/velmor-control.desktop
  usr/share/metainfo/org.velmor.control.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/velmor-control.svg
  usr/share/man/man1/velmor-panel.1.gz usr/share/man/man1/velmorctl.1.gz
  usr/share/man/man1/velmor-sim.1.gz usr/share/bash-completion/completions/velmorctl
  usr/share/doc/velmor-control/copyright usr/share/doc/velmor-control/changelog.gz
)
for size in 16 24 32 48 64 128 256; do
  required+=("usr/share/icons/hicolor/${size}x${size}/apps/velmor-control.png")
done
for f in "${required[@]}"; do grep -qxF "$f" "$work/files" || fail "missing $f"; done
while read -r f; do
  printf '%s\n' "${required[@]}" | grep -qxF "$f" || fail "unexpected $f"
done <"$work/files"

entry=$root/usr/share/applications/velmor-control.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate"
while read -r program; do
  [ -x "$root/usr/bin/$program" ] || fail "the desktop entry runs $program, which is not in usr/bin"
done < <(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
icon=$(sed -n 's/^Icon=//p' "$entry")
ls "$root"/usr/share/icons/hicolor/*/apps/"$icon".{png,svg} >/dev/null 2>&1 ||
  fail "no icon $icon in the hicolor theme"

appstreamcli validate --no-net "$root/usr/share/metainfo/org.velmor.control.metainfo.xml" ||
  fail "appstreamcli validate"

"$root/usr/bin/velmorctl" --version | grep -qF "$version" || fail "velmorctl --version"
"$root/usr/bin/velmor-sim" --help >/dev/null || fail "velmor-sim --help"
# The PNG output comes from the module beside the unpacked program, not from the build folder.
QT_QPA_PLATFORM=offscreen "$root/usr/bin/velmorctl" response 3180 318 75 0 --png "$work/plot.png" &&
  [ -s "$work/plot.png" ] || fail "the unpacked velmorctl draws no PNG"

lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

[ $failures -eq 0 ] && echo "package ok: $(basename "$deb")"
exit $((failures > 0))
