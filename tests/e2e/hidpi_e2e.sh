#!/usr/bin/env bash
# The real editor on a screen of twice the usual density, scaled by Qt as a
# desktop set to 2x has it: the port dialog, front panel, editor, memory dialog
# and a message each come out at exactly twice their size and fit the screen,
# and the foot switches are drawn from their double-size paintings, pixel for
# pixel, unlit and lit. Screenshots of every window stay in the work folder.
# usage: hidpi_e2e.sh <zandorium-editor> <zandorium-sim> <work dir>
set -euo pipefail
source "$(dirname "$0")/lib.sh"

editor=$1
simulator=$2
work=$3
art=$(cd "$(dirname "$0")/../../resources/FileVari" && pwd)

readonly SCREEN_W=2800 SCREEN_H=1800
# Qt 5 takes the scale from the screen's density and Qt 6 from Xft.dpi; a
# desktop at 2x sets both. The server must keep Xft.dpi between clients.
if [ "${ZANDORIUM_HIDPI_X:-0}" != 1 ]; then
    command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run is not installed"; exit $E2E_SKIP; }
    ZANDORIUM_HIDPI_X=1 exec xvfb-run -a -s "-screen 0 ${SCREEN_W}x${SCREEN_H}x24 -dpi 192 -noreset" "$0" "$@"
fi
e2e_begin xdotool xrdb
printf 'Xft.dpi:\t192\n' | xrdb -nocpp -merge -
E2E_SCALE=2

# doubled <window> <form width> <form height> <name>: the window is twice the
# form's size and lies on the screen; its screenshot is kept as <name>@2x.png.
doubled() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    [ "$WIDTH" = $(($2 * 2)) ] && [ "$HEIGHT" = $(($3 * 2)) ] \
        || fail "the $4 is ${WIDTH}x${HEIGHT}, not twice ${2}x${3}"
    [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le $SCREEN_W ] && [ $((Y + HEIGHT)) -le $SCREEN_H ] \
        || fail "the $4 at ${X},${Y} does not fit the screen"
    import -window "$1" "$work/$4@2x.png"
}

# switch_drawn_from <picture> <form x> <form y>: the 30x30 middle of the foot
# switch centred there is the middle of the picture's double-size painting.
switch_drawn_from() {
    crop "$panel" $(($2 * 2 - 30)) $(($3 * 2 - 30)) 60 60 "$work/$1-shown.png"
    convert "$art/$1@2x.png" -crop 60x60+30+30 +repage "$work/$1-painted.png"
    same_picture "$work/$1-shown.png" "$work/$1-painted.png" || fail "$1 is not drawn from its double-size painting"
}

unit=ZandoriumHiDpi$$
start_simulator "$simulator" "$unit"
"$editor" >"$work/editor.out" 2>"$work/editor.err" &
editor_pid=$!
E2E_PIDS+=("$editor_pid")

echo "== The port dialog"
wait_for 20 has_window '^Dialog$' || fail "no port dialog"
sleep 0.5
doubled "$(window_of '^Dialog$')" 240 237 port-dialog
choose_port "$unit"
wait_for 10 grep -q -F "R $(command_prefix 22)" "$work/editor.out" || fail "the unit's versions did not arrive"
wait_for 20 no_window '^Dialog$' || fail "the port dialog stayed"

echo "== The front panel and its switches"
panel=$(window_of '^Zandorium Uploader$')
sleep 0.5
doubled "$panel" 1264 582 front-panel
switch_drawn_from OffSwt60x60 117 224
click_key "$panel" 2
wait_for 5 grep -q -F "R $(frame 07 01 02) " "$work/editor.out" || fail "no LED answer for loop 3"
sleep 0.5
switch_drawn_from OnSwtRosso60x60 461 431

echo "== The editor, the memory dialog and a message"
click_key "$panel" 12
wait_for 10 has_window '^Dialog$' || fail "Menu did not open the editor"
edit=$(window_of '^Dialog$')
sleep 1
doubled "$edit" 929 741 editor
click_at "$edit" 628 610
wait_for 10 has_memory_dialog || fail "the memory dialog did not open"
sleep 0.5
doubled "$(memory_dialog)" 976 320 memory-dialog
click_at "$(memory_dialog)" 488 290
wait_for 5 no_memory_dialog || fail "the memory dialog did not close"
: >"$work/empty.mem"
restore_from empty.mem
wait_for 10 has_message "This file cannot be restored" || fail "no message for an empty file"
wait_for 5 test -n "$(message_window)" || fail "the message is not shown"
sleep 0.5
doubled "$(message_window)" 398 198 message
dismiss_message

close_editor "$edit"
exit_front_panel "$panel" "$editor_pid"
echo "PASS"
