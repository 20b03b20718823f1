#!/usr/bin/env bash
# The editor window against the simulated unit, driven as a user would:
#  1. Menu on the front panel opens the editor, filled with the unit's current
#     memory; the unit's reports are not sent back.
#  2. A check box, a radio button, a combo box, a spin box, the name and a
#     slider each change the unit's state, and the unit's confirmation of each
#     comes back into the editor's trace.
#  3. Every frame the editor sent was caused by a user action.
#  4. The close control returns to the front panel, whose Exit ends with 0.
# usage: edit_e2e.sh <zandorium-editor> <zandorium-sim> <work dir>
set -euo pipefail
source "$(dirname "$0")/lib.sh"

editor=$1
simulator=$2
work=$3

ensure_display "$0" "$@"
e2e_begin xdotool xclip

unit=ZandoriumEdit$$
start_simulator "$simulator" "$unit"

# Sent by the editor, confirmed by the unit, and traced as received.
round_trip() {
    local sent
    sent=$(frame "$1")
    wait_for 5 has_line "$work/editor.out" "--> S $sent" || fail "the editor did not send $sent"
    wait_for 5 has_line "$work/sim.out" "<- $sent" || fail "the unit did not receive $sent"
    wait_for 5 has_line "$work/editor.out" "R $(frame "${2:-$1}") " || fail "no confirmation of $sent in the editor"
}
sent_count() { grep -c -- '^--> S ' "$work/editor.out" || true; }

"$editor" >"$work/editor.out" 2>"$work/editor.err" &
E2E_PIDS+=("$!")
editor_pid=$!
choose_port "$unit"
wait_for 10 has_line "$work/sim.out" "<- $(frame 09 4D 00)" || fail "no start-up request"
panel=$(window_of '^Zandorium Uploader$')
[ -n "$panel" ] || fail "no front panel"
wait_for 20 no_window '^Dialog$' || fail "the port dialog stayed"

echo "== Menu opens the editor filled with the current memory, nothing sent back"
name_report=$(frame 0A 0C 43 6C 61 73 73 69 63 20 4C 65 61 64)
wait_for 10 has_line "$work/editor.out" "R $name_report " || fail "the start-up report did not arrive"
click_key "$panel" 12
wait_for 10 has_window '^Dialog$' || fail "Menu did not open the editor"
edit=$(window_of '^Dialog$')
wait_for 5 lines_equal "$work/editor.out" "R $name_report " 2 || fail "the unit did not report the memory again"
sleep 1
[ "$(sent_count)" = 3 ] || fail "frames were sent back: $(grep -- '^--> S ' "$work/editor.out")"
# Window coordinates of the editor's controls: their group's corner plus their own place.
xdotool mousemove --window "$edit" 580 74 click 1 key ctrl+a ctrl+c
wait_for 5 bash -c '[ "$(xclip -o -selection clipboard 2>/dev/null)" = "Classic Lead" ]' \
    || fail "the name box does not show the current memory's name"
import -window "$edit" "$work/editor-opened.png" 2>/dev/null || true

echo "== Each kind of control changes the unit"
xdotool mousemove --window "$edit" 730 139 click 1            # Buffer 2 check box
round_trip "10 01"
xdotool mousemove --window "$edit" 610 163 click 1            # amp B radio button
round_trip "0F 01"
xdotool mousemove --window "$edit" 635 388 click 1            # TAP channel combo: 9 to 10
sleep 0.5
xdotool key Down Return
round_trip "0D 09 01 3A 51"
xdotool mousemove --window "$edit" 898 294 click 1            # program spin box up: 4 to 5
round_trip "0C 04 0F"
xdotool mousemove --window "$edit" 580 74 click 1 key ctrl+a
xdotool type --delay 20 "E2E Lead"
xdotool mousemove --window "$edit" 869 74 click 1             # Set
round_trip "0A 08 45 32 45 20 4C 65 61 64"
xdotool mousemove --window "$edit" 55 180 mousedown 2 mousemove --window "$edit" 55 150 \
    mousemove --window "$edit" 55 120 mouseup 2                # pedal 1 value slider, dragged
wait_for 5 grep -q -- '^--> S F0 7E 10 07 02 02 00 ' "$work/editor.out" || fail "the slider sent nothing"
sleep 0.5
last=$(grep -- '^--> S F0 7E 10 07 02 02 00 ' "$work/editor.out" | tail -n 1)
read -r high low <<<"$(echo "$last" | awk '{print $10, $11}')"
pedal_value=$((16#$high * 128 + 16#$low))
round_trip "02 00 $high $low"

state_has 'memory 3 (A, number 4) "E2E Lead"'
state_has 'amp 1, buffer 2 1,'
state_has "pedal 1: value $pedal_value,"
state_has 'program change: channel (wire) 15, program 5'
state_has 'TAP: channel (wire) 9, note 58'

echo "== Only user actions were sent"
unexpected=$(grep -- '^--> S ' "$work/editor.out" | grep -v -F \
    -e "$(frame 09 4D 00)" -e "$(frame 01 0C)" -e "$(frame 00 0C)" -e "$(frame 10 01)" -e "$(frame 0F 01)" \
    -e "$(frame 0D 09 01 3A 51)" -e "$(frame 0C 04 0F)" -e "$(frame 0A 08 45 32 45 20 4C 65 61 64)" \
    -e "--> S F0 7E 10 07 02 02 00 " || true)
[ -z "$unexpected" ] || fail "frames no user action caused: $unexpected"
import -window "$edit" "$work/editor-edited.png" 2>/dev/null || true

echo "== The close control returns to the front panel"
close_editor "$edit"
exit_front_panel "$panel" "$editor_pid"
echo "PASS"
