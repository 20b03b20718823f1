#!/usr/bin/env bash
# The real editor on a 192 dpi screen, scaled by Qt as a 2x desktop has it: every window
# doubled and on the screen, the foot switches drawn from their 2x paintings. Screenshots stay in $work.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
editor=$1 simulator=$2 work=$3
art=$(cd "$(dirname "$0")/../../resources/FileVari" && pwd)
readonly SCREEN_W=2800 SCREEN_H=1800
# Qt 5 takes the scale from the screen's density and Qt 6 from Xft.dpi; a
# desktop at 2x sets both. The server must keep Xft.dpi between clients.
if [ "${ZANDORIUM_HIDPI_X:-0}" != 1 ]; then
    command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run is not installed"; exit $E2E_SKIP; }
    ZANDORIUM_HIDPI_X=1 exec xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 ${SCREEN_W}x${SCREEN_H}x24 -dpi 192 -noreset" "$0" "$@"
fi
e2e_begin xdotool xrdb
printf 'Xft.dpi:\t192\n' | xrdb -nocpp -merge -
E2E_SCALE=2

# doubled <window> <form width> <form height> <name>: twice the form's size, on the screen.
doubled() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$1")"
    [ "$WIDTH" = $(($2 * 2)) ] && [ "$HEIGHT" = $(($3 * 2)) ] || fail "the $4 is ${WIDTH}x${HEIGHT}, not twice ${2}x${3}"
    [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le $SCREEN_W ] && [ $((Y + HEIGHT)) -le $SCREEN_H ] \
        || fail "the $4 at ${X},${Y} does not fit the screen"
    import -window "$1" "$work/$4@2x.png"
}
# switch_drawn_from <picture> <form x> <form y>: the switch centred there is its 2x painting's middle.
switch_drawn_from() {
    crop "$panel" $(($2 * 2 - 30)) $(($3 * 2 - 30)) 60 60 "$work/$1-shown.png"
    convert "$art/$1@2x.png" -crop 60x60+30+30 +repage "$work/$1-painted.png"
    same_picture "$work/$1-shown.png" "$work/$1-painted.png" || fail "$1 is not drawn from its double-size painting"
}

echo "== The port dialog, the front panel and its switches unlit and lit"
start_simulator "$simulator" ZandoriumHiDpi$$
start_editor
doubled "$dialog" 240 237 port-dialog
connect ZandoriumHiDpi$$
doubled "$panel" 1264 582 front-panel
switch_drawn_from OffSwt60x60 117 224
click_key "$panel" 2
wait_for 5 grep -q -F "R $(frame 07 01 02) " "$work/editor.out" || fail "no LED answer for loop 3"
sleep 0.5
switch_drawn_from OnSwtRosso60x60 461 431

echo "== The editor, the memory dialog and a message"
open_editor
doubled "$edit" 929 741 editor
click_at "$edit" 628 610
wait_for 10 has_memory_dialog || fail "the memory dialog did not open"
doubled "$(memory_dialog)" 976 320 memory-dialog
click_at "$(memory_dialog)" 488 290
wait_for 5 no_memory_dialog || fail "the memory dialog did not close"
# A short path: the message names the file, and a long one widens it.
empty=/tmp/zandorium-hidpi-$$.mem
: >"$empty"
click_at "$edit" 628 712
answer_file_dialog "Select file" "$empty"
wait_for 10 has_message "This file cannot be restored" || fail "no message for an empty file"
rm -f "$empty"
wait_for 5 has_message_window || fail "the message is not shown"
# The message grows with its text (and with the toolkit's font metrics): at
# least twice the form, in whole 2x pixels.
eval "$(xdotool getwindowgeometry --shell "$(message_window)")"
[ "$WIDTH" -ge 796 ] && [ "$HEIGHT" -ge 396 ] && [ $((WIDTH % 2 + HEIGHT % 2)) = 0 ] \
    || fail "the message is ${WIDTH}x${HEIGHT}, not twice a form of at least 398x198"
dismiss_message
close_editor "$edit"
exit_front_panel "$panel" "$editor_pid"
echo "PASS"
