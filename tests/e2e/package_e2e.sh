#!/usr/bin/env bash
# The Debian package as a user installs it:
#  1. CPack builds it from the build folder.
#  2. Its dependencies name the package of every library the programs load,
#     and this system satisfies them all (apt's simulation installs nothing else).
#  3. Unpacked into a scratch root, it holds both programs, a desktop entry and
#     an AppStream file that their validators accept, and the icon at every
#     hicolor size, each picture of its size; it and the AppStream file name
#     the licence.
#  4. The command of the desktop entry starts the installed editor, whose port
#     dialog lists the installed simulator's port: chosen, the unit receives
#     the start-up request and its state comes back. Exit ends with status 0.
# usage: package_e2e.sh <build dir> <work dir>
set -euo pipefail
source "$(dirname "$0")/lib.sh"

build=$1
work=$2
readonly APP_ID=org.zandorium.uploader
readonly ICON_SIZES=(16 24 32 48 64 128 256 512)

ensure_display "$0" "$@"
e2e_begin xdotool cpack dpkg-deb apt-get objdump appstreamcli desktop-file-validate

echo "== The package"
cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.out" 2>&1 || fail "cpack failed"
deb=$(ls "$work"/package/*.deb)
[ -f "$deb" ] || fail "no package"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# The package names in Depends, alternatives included, one a line.
depended=$(tr ',|' '\n\n' <<<"$depends" | awk 'NF { print $1 }')
root=$work/root
dpkg-deb -x "$deb" "$root"

echo "== Its dependencies"
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

echo "== Desktop entry, AppStream file, icons"
entry=$root/usr/share/applications/$APP_ID.desktop
metainfo=$root/usr/share/metainfo/$APP_ID.metainfo.xml
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.out" 2>&1 || fail "$(cat "$work/appstream.out")"
grep -q -F "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" \
    || fail "the AppStream file does not launch the desktop entry"
grep -q -x "Icon=$APP_ID" "$entry" || fail "the desktop entry names another icon"
grep -q -F "<project_license>GPL-3.0-or-later</project_license>" "$metainfo" || fail "the AppStream file names another licence"
grep -q -x "License: GPL-3.0-or-later" "$root/usr/share/doc/zandorium-uploader/copyright" \
    || fail "the package's copyright file does not name the licence"
for size in "${ICON_SIZES[@]}"; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/$APP_ID.png
    [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "no ${size}x${size} icon"
done

echo "== The installed editor, started as the desktop menu does, finds the installed unit"
unit=ZandoriumPackage$$
start_simulator "$root/usr/bin/zandorium-sim" "$unit"
command=$(sed -n 's/^Exec=//p' "$entry")
PATH="$root/usr/bin:$PATH" $command >"$work/editor.out" 2>"$work/editor.err" &
editor_pid=$!
E2E_PIDS+=("$editor_pid")
choose_port "$unit"
wait_for 10 has_line "$work/sim.out" "<- $(frame 09 4D 00)" || fail "the unit did not receive the start-up request"
wait_for 10 grep -q -F "R $(command_prefix 22)" "$work/editor.out" || fail "the unit's state did not come back"
[ "$(readlink -f "/proc/$editor_pid/exe")" = "$(readlink -f "$root/usr/bin/zandorium-editor")" ] \
    || fail "the desktop entry did not start the installed editor"
panel=$(window_of '^Zandorium Uploader$')
[ -n "$panel" ] || fail "no front panel"
exit_front_panel "$panel" "$editor_pid"
echo "PASS"
