#!/usr/bin/env bash
# The real editor under X against the simulated unit on real MIDI ports,
# driven by clicks as a user would:
#  1. Cancel in the port dialog ends the program with status 0 and sends nothing.
#  2. Choosing the unit's port and pressing Ok sends the start-up request once
#     and brings the unit's whole state back into the trace.
#  3. A front-panel key sends its press frame while held and its release
#     frame at release; the unit's LED answer comes back as an "R " line.
#  4. A computer key held past the keyboard's auto-repeat gives exactly one
#     press and one release frame.
#  5. Dragging the panel's bottom-right corner leaves its size as it was.
#  6. Exit ends with status 0.
# usage: editor_e2e.sh <zandorium-editor> <zandorium-sim> <work dir>
set -euo pipefail
source "$(dirname "$0")/lib.sh"

editor=$1
simulator=$2
work=$3

ensure_display "$0" "$@"
e2e_begin xdotool

unit=ZandoriumE2E$$
start_simulator "$simulator" "$unit"

startup='F0 7E 10 07 02 09 4D 00 F7'
press='F0 7E 10 07 02 01 02 F7'
release='F0 7E 10 07 02 00 02 F7'
# A received frame's trace line ends with a space after F7.
# Seeded current memory: "Classic Lead", loop 3 off, so pressing it lights it.
name_report='F0 7E 10 07 02 0A 0C 43 6C 61 73 73 69 63 20 4C 65 61 64 F7'
led_on='F0 7E 10 07 02 07 01 02 F7'

echo "== Cancel ends the program"
"$editor" >"$work/cancel.out" 2>"$work/cancel.err" &
editor_pid=$!
E2E_PIDS+=("$editor_pid")
wait_for 20 has_window '^Dialog$' || fail "no port dialog"
wait_for 10 has_window '^Zandorium Uploader$' || fail "no front panel behind the dialog"
sleep 0.5
xdotool mousemove --window "$(window_of '^Dialog$')" 67 211 click 1
await_exit "$editor_pid" 10
[ "$status" = 0 ] || fail "Cancel ended with status $status"
! grep -q -- '--> S' "$work/cancel.out" || fail "a frame was sent after Cancel"
! grep -q -- '^<- ' "$work/sim.out" || fail "the unit received something after Cancel"

echo "== Ok connects: one start-up request, the unit's state comes back"
"$editor" >"$work/ok.out" 2>"$work/ok.err" &
editor_pid=$!
E2E_PIDS+=("$editor_pid")
choose_port "$unit"
wait_for 10 has_line "$work/sim.out" "<- $startup" || fail "the unit did not receive the start-up request"
wait_for 10 has_line "$work/ok.out" "R $name_report " || fail "the unit's state did not come back"
sleep 0.5
lines_equal "$work/sim.out" "<- $startup" 1 || fail "the start-up request did not arrive exactly once"
lines_equal "$work/ok.out" "--> S $startup" 1 || fail "the start-up line is not in the trace exactly once"
[ "$(grep -c -- '^-> ' "$work/sim.out")" = "$(grep -c '^R ' "$work/ok.out")" ] \
    || fail "the editor traced a different number of frames than the unit sent"

echo "== A key: press while held, the unit's LED answer, release at release"
panel=$(window_of '^Zandorium Uploader$')
[ -n "$panel" ] || fail "no front panel"
xdotool mousemove --window "$panel" "${key_x[2]}" "${key_y[2]}" mousedown 1
wait_for 5 has_line "$work/sim.out" "<- $press" || fail "no press frame at the unit while the key is held"
wait_for 5 has_line "$work/ok.out" "R $led_on " || fail "the unit's LED answer is not in the trace"
has_line "$work/ok.out" "--> S $press" || fail "no press line in the trace"
! grep -q -F -- "$release" "$work/sim.out" "$work/ok.out" || fail "release sent before the release"
import -window "$panel" "$work/front-panel.png" 2>/dev/null || true
xdotool mouseup 1
wait_for 5 has_line "$work/sim.out" "<- $release" || fail "no release frame at the unit"
has_line "$work/ok.out" "--> S $release" || fail "no release line in the trace"

echo "== A computer key held: one press frame, one release frame"
key_press=$(frame 01 03)
key_release=$(frame 00 03)
xset r on && xset r rate 200 30
xdotool windowfocus --sync "$panel"
xdotool keydown 4
wait_for 5 has_line "$work/sim.out" "<- $key_press" || fail "no press frame for the held computer key"
sleep 1.5  # several auto-repeats
! has_line "$work/sim.out" "<- $key_release" || { grep -- "--> S" "$work/ok.out" | tail -5; fail "the key was released while held"; }
xdotool keyup 4
wait_for 5 has_line "$work/sim.out" "<- $key_release" || fail "no release frame for the computer key"
sleep 0.5
lines_equal "$work/sim.out" "<- $key_press" 1 || fail "auto-repeat sent more press frames"
lines_equal "$work/sim.out" "<- $key_release" 1 || fail "auto-repeat sent more release frames"

echo "== The panel keeps its size when its corner is dragged"
size_before=$(xdotool getwindowgeometry "$panel" | awk '/Geometry/ { print $2 }')
read -r corner_x corner_y < <(point 1262 580)
xdotool mousemove --window "$panel" "$corner_x" "$corner_y" mousedown 1
xdotool mousemove_relative --sync -- -160 -100
xdotool mousemove_relative --sync -- -10 -10
xdotool mouseup 1
sleep 0.5
size_after=$(xdotool getwindowgeometry "$panel" | awk '/Geometry/ { print $2 }')
[ "$size_after" = "$size_before" ] || fail "the panel was resized from $size_before to $size_after"

exit_front_panel "$panel" "$editor_pid"
echo "PASS"
