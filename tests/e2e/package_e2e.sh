#!/usr/bin/env bash
# The Debian package as a user installs it, built by CPack from the build
# folder: its dependencies, its files, and the installed editor started by its
# desktop entry's command against the installed simulator.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

build=$1 work=$2
readonly APP_ID=org.zandorium.uploader

ensure_display "$0" "$@"
e2e_begin xdotool cpack dpkg-deb apt-get objdump appstreamcli desktop-file-validate

echo "== The package"
cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.out" 2>&1 || fail "cpack failed"
deb=$(ls "$work"/package/*.deb) || fail "no package"
depends=$(dpkg-deb -f "$deb" Depends)
# The package names in Depends, alternatives included, one a line.
depended=$(tr ',|' '\n\n' <<<"$depends" | awk 'NF { print $1 }')
root=$work/root
dpkg-deb -x "$deb" "$root"

echo "== Depends names the package of every library the programs load; apt adds nothing"
# The installed package that holds a file; nothing for none.
package_of() { { dpkg -S "$1" 2>/dev/null || true; } | awk -F: 'NR == 1 { print $1 }'; }
for program in zandorium-editor zandorium-sim; do
    binary=$root/usr/bin/$program
    [ -x "$binary" ] || fail "$program is not installed"
    ! objdump -p "$binary" | grep -q -E 'RPATH|RUNPATH' || fail "$program carries a library path"
    for soname in $(objdump -p "$binary" | awk '/NEEDED/ { print $2 }'); do
        library=$(ldconfig -p | awk -v name="$soname" '$1 == name && !found { found = $NF } END { print found }')
        [ -n "$library" ] || fail "$program needs $soname, which this system lacks"
        owner=$(package_of "$library")
        [ -n "$owner" ] || owner=$(package_of "$(readlink -f "$library")")
        grep -q -x -F "$owner" <<<"$depended" || fail "$program needs $soname of $owner, not in Depends"
    done
done
apt-get install -s --no-install-recommends "$deb" >"$work/apt.out" 2>&1 || fail "apt cannot install the package"
installs=$(grep '^Inst ' "$work/apt.out" | cut -d' ' -f2 | tr '\n' ' ')
[ "$installs" = "zandorium-uploader " ] || fail "installing it would also install: $installs"

echo "== Desktop entry, AppStream file, licence, icons at every size"
entry=$root/usr/share/applications/$APP_ID.desktop
metainfo=$root/usr/share/metainfo/$APP_ID.metainfo.xml
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.out" 2>&1 || fail "$(cat "$work/appstream.out")"
grep -q -F "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" || fail "the AppStream file launches no entry"
grep -q -x "Icon=$APP_ID" "$entry" || fail "the desktop entry names another icon"
grep -q -F "<project_license>GPL-3.0-or-later</project_license>" "$metainfo" || fail "the AppStream file names another licence"
grep -q -x "License: GPL-3.0-or-later" "$root/usr/share/doc/zandorium-uploader/copyright" || fail "no licence in copyright"
for size in 16 24 32 48 64 128 256 512; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/$APP_ID.png
    [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "no ${size}x${size} icon"
done

echo "== The installed editor, started as the desktop menu does, finds the installed unit"
unit=ZandoriumPackage$$
start_simulator "$root/usr/bin/zandorium-sim" "$unit"
editor=$(sed -n 's/^Exec=//p' "$entry")
start_editor PATH="$root/usr/bin:$PATH"
connect "$unit"
[ "$(readlink -f "/proc/$editor_pid/exe")" = "$(readlink -f "$root/usr/bin/zandorium-editor")" ] || fail "not the installed editor"
exit_front_panel "$panel" "$editor_pid"
echo "PASS"
