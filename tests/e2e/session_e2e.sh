#!/usr/bin/env bash
# One session of the real editor under X against the simulated unit on real MIDI
# ports, driven as a user would: port dialog, front panel, editor, memory dialog.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
editor=$1 simulator=$2 work=$3
ensure_display "$0" "$@"
e2e_begin xdotool xclip import

unit=ZandoriumSession$$
# Three seconds from a write to the unit closing the memory dialog, to see its picture.
start_simulator "$simulator" "$unit" --close-delay 3000
startup=$(frame 09 4D 00)
caused=(-e "$startup" -e "$(frame 01 0C)" -e "$(frame 00 0C)")  # with Menu's press and release; changes adds its own
# The seeded current memory, "Classic Lead", as received (a space after F7).
name_report="R $(frame 0A 0C 43 6C 61 73 73 69 63 20 4C 65 61 64) "

sent_to_unit() { wait_for 5 has_line "$work/sim.out" "<- $(frame "$1")" || fail "the unit did not receive $1"; }
# changes <x> <y> <frame body> [keys...]: a click in the editor (none at x -)
# and the keys send the frame, which the unit takes and confirms.
changes() {
    [ "$1" = - ] || click_at "$edit" "$1" "$2"
    [ $# -lt 4 ] || { sleep 0.5; xdotool key "${@:4}"; }
    wait_for 5 has_line "$work/editor.out" "--> S $(frame "$3")" || fail "the editor did not send $3"
    sent_to_unit "$3"
    wait_for 5 has_line "$work/editor.out" "R $(frame "$3") " || fail "no confirmation of $3 in the editor"
    caused+=(-e "$(frame "$3")")
}
named_as() { xdotool mousemove --window "$edit" 580 74 click 1 key ctrl+a type --delay 20 "$1"; changes 869 74 "$2"; }
# report_after <frame body> <command...>: one more report of the frame follows the command.
report_after() {
    local line="R $(frame "$1") " before
    before=$(count_of "$work/editor.out" "$line" -x)
    "${@:2}"
    wait_for 10 lines_equal "$work/editor.out" "$line" $((before + 1))
}
unit_switches() { report_after "$2" sim_command memory "$1" || fail "the unit did not report memory $1"; }
# The front panel's bank, number and name displays; the editor's BnkNum group.
panel_display() { sleep 0.5; crop "$panel" 880 120 328 31 "$work/$1.png"; }
editor_display() { sleep 0.5; crop "$edit" 470 108 110 92 "$work/$1.png"; }
name_in_editor() {
    xdotool mousemove --window "$edit" 580 74 click 1 key ctrl+a ctrl+c
    wait_for 5 bash -c '[ "$(xclip -o -selection clipboard 2>/dev/null)" = "$1" ]' _ "$1" || fail "the name box reads not \"$1\""
}
panel_size() { xdotool getwindowgeometry "$panel" | awk '/Geometry/ { print $2 }'; }

echo "== Cancel ends the program and sends nothing"
start_editor
wait_for 10 has_window '^Zandorium Uploader$' || fail "no front panel behind the dialog"
sleep 0.5
click_at "$dialog" 67 211
ends_ok "$editor_pid" Cancel
! grep -q -- '--> S' "$work/editor.out" || fail "a frame was sent after Cancel"
! grep -q -- '^<- ' "$work/sim.out" || fail "the unit received something after Cancel"

echo "== Ok connects: one start-up request, the unit's state comes back"
start_editor
connect "$unit"
wait_for 10 has_line "$work/editor.out" "$name_report" || fail "the unit's state did not come back"
sleep 0.5
lines_equal "$work/sim.out" "<- $startup" 1 || fail "the start-up request did not arrive exactly once"
lines_equal "$work/editor.out" "--> S $startup" 1 || fail "the start-up line is not in the trace exactly once"
[ "$(grep -c -- '^-> ' "$work/sim.out")" = "$(grep -c '^R ' "$work/editor.out")" ] || fail "the trace differs from what the unit sent"

echo "== Menu opens the editor filled with the current memory, nothing sent back"
open_editor
wait_for 5 lines_equal "$work/editor.out" "$name_report" 2 || fail "the unit did not report the memory again"
sleep 1
[ "$(grep -c -- '^--> S ' "$work/editor.out")" = 3 ] || fail "more than start-up and Menu sent: $(grep -- '^--> S ' "$work/editor.out")"
name_in_editor "Classic Lead"

echo "== Each kind of control changes the unit"
changes 730 139 "10 01"                                       # Buffer 2 check box
changes 610 163 "0F 01"                                       # amp B radio button
changes 635 388 "0D 09 01 3A 51" Down Return                  # TAP channel combo: 9 to 10
changes 898 294 "0C 04 0F"                                    # program spin box up: 4 to 5
named_as "E2E Lead" "0A 08 45 32 45 20 4C 65 61 64"
xdotool mousemove --window "$edit" 55 180 mousedown 2 mousemove --window "$edit" 55 150 \
    mousemove --window "$edit" 55 120 mouseup 2                # pedal 1 value slider, dragged
wait_for 5 grep -q -- '^--> S F0 7E 10 07 02 02 00 ' "$work/editor.out" || fail "the slider sent nothing"
sleep 0.5
read -r high low <<<"$(grep -- '^--> S F0 7E 10 07 02 02 00 ' "$work/editor.out" | tail -n 1 | awk '{print $10, $11}')"
changes - - "02 00 $high $low"
state_has 'memory 3 (A, number 4) "E2E Lead"' 'amp 1, buffer 2 1,' "pedal 1: value $((16#$high * 128 + 16#$low)),"
state_has 'program change: channel (wire) 15, program 5' 'TAP: channel (wire) 9, note 58'

echo "== Only user actions were sent; the close control returns to the front panel"
unexpected=$(grep -- '^--> S ' "$work/editor.out" | grep -v -F "${caused[@]}" -e "--> S F0 7E 10 07 02 02 00 " || true)
[ -z "$unexpected" ] || fail "frames no user action caused: $unexpected"
close_editor "$edit"

echo "== Front-panel keys: press while held, the LED answer, release at release; a held computer key; the corner"
press=$(frame 01 02) release=$(frame 00 02)
xdotool mousemove --window "$panel" "${key_x[2]}" "${key_y[2]}" mousedown 1
wait_for 5 has_line "$work/sim.out" "<- $press" || fail "no press frame at the unit while the key is held"
wait_for 5 has_line "$work/editor.out" "R $(frame 07 01 02) " || fail "the unit's LED answer is not in the trace"
has_line "$work/editor.out" "--> S $press" || fail "no press line in the trace"
! grep -q -F -- "$release" "$work/sim.out" "$work/editor.out" || fail "release sent before the release"
xdotool mouseup 1
wait_for 5 has_line "$work/sim.out" "<- $release" || fail "no release frame at the unit"
has_line "$work/editor.out" "--> S $release" || fail "no release line in the trace"

xset r on && xset r rate 200 30
xdotool windowfocus --sync "$panel"
xdotool keydown 4
sent_to_unit "01 03"
sleep 1.5  # auto-repeats
! has_line "$work/sim.out" "<- $(frame 00 03)" || fail "the key was released while held"
xdotool keyup 4
sent_to_unit "00 03"
sleep 0.5
[ "$(grep -c -x -F -e "<- $(frame 01 03)" -e "<- $(frame 00 03)" "$work/sim.out")" = 2 ] || fail "auto-repeat sent more frames"

size_before=$(panel_size)
xdotool mousemove --window "$panel" $(point 1262 580) mousedown 1
xdotool mousemove_relative --sync -- -160 -100
xdotool mousemove_relative --sync -- -10 -10
xdotool mouseup 1
sleep 0.5
[ "$(panel_size)" = "$size_before" ] || fail "the panel was resized from $size_before to $(panel_size)"

echo "== What the displays show when the unit itself is on lower C 5 (284), and on A 4 (3)"
for shown in panel editor; do
    [ $shown = panel ] || open_editor
    unit_switches 284 "05 02 1C"
    ${shown}_display $shown-284
    unit_switches 3 "05 00 03"
    ${shown}_display $shown-3
    same_picture "$work/$shown-3.png" "$work/$shown-284.png" && fail "the $shown shows A 4 as it shows C 5"
done

echo "== Choosing lower C and 5 in the memory dialog selects memory 284"
click_at "$edit" 628 610                                       # Select Memory
wait_for 10 has_memory_dialog || fail "Select Memory did not open the dialog"
dialog=$(memory_dialog)
sleep 0.5
click_at "$dialog" $(bank_xy 28)
sent_to_unit "17 1C"
report_after "05 02 1C" click_at "$dialog" $(number_xy 4) || fail "the unit did not report the chosen memory"
sent_to_unit "18 04"
sent_to_unit "05 02 1C"
state_has 'memory 284 (C lower row, number 5)'
name284=$(grep -F 'memory 284 (C lower row, number 5)' "$work/sim.out" | tail -n 1 | sed 's/.*"\(.*\)"$/\1/')
click_at "$dialog" 488 290                                      # Close
wait_for 5 no_memory_dialog || fail "Close did not hide the dialog"
editor_display editor-chosen
same_picture "$work/editor-chosen.png" "$work/editor-284.png" || fail "the editor does not show C 5"
name_in_editor "$name284"
close_editor "$edit"
panel_display panel-chosen
same_picture "$work/panel-chosen.png" "$work/panel-284.png" || fail "the front panel does not show C 5 and its name"

echo "== Writing the editor's settings into upper Z 10 (259)"
open_editor
named_as "Saved Lead" "0A 0A 53 61 76 65 64 20 4C 65 61 64"
# Amp B was sent for memory 3 already: this one is told by its count.
report_after "0F 01" click_at "$edit" 610 163 || fail "amp B was not confirmed"
click_at "$edit" 628 644                                        # Write Memory
sent_to_unit "1C 00"
wait_for 10 has_memory_dialog || fail "Write Memory did not open the dialog"
dialog=$(memory_dialog)
report_after "19 19" click_at "$dialog" $(bank_xy 25) || fail "the unit did not confirm the bank to write"
report_after "20 09" click_at "$dialog" $(number_xy 9) || fail "the unit did not confirm the number to write"
sleep 0.5
crop "$dialog" 752 176 171 77 "$work/done-before.png"
report_after "28 00" click_at "$dialog" 353 290 || fail "OK did not complete the write"   # OK
sent_to_unit "06 02 03"
sleep 0.5
crop "$dialog" 752 176 171 77 "$work/done-after.png"
same_picture "$work/done-before.png" "$work/done-after.png" && fail "no done picture after the write"
wait_for 10 has_line "$work/editor.out" "R $(frame 1B 01) " || fail "the unit did not close the dialog"
wait_for 5 no_memory_dialog || fail "the dialog stayed after the unit closed it"
# Away and back: the memory itself holds what was written.
unit_switches 3 "05 00 03"
unit_switches 259 "05 02 03"
state_has 'memory 259 (Z, number 10) "Saved Lead"' '  amp 1, '

echo "== The unit opens the memory dialog on its own, in either mode, and closes it"
close_editor "$edit"
for mode in select write; do
    sim_command "$mode"
    wait_for 10 has_memory_dialog || fail "the unit's $mode request did not open the dialog"
    sleep 0.5
    crop "$(memory_dialog)" 293 272 120 36 "$work/ok-$mode.png"
    sim_command close 0
    wait_for 5 no_memory_dialog || fail "the unit's close request did not close the dialog"
done
is_bright "$work/ok-write.png" || fail "no OK button in write mode"
is_bright "$work/ok-select.png" && fail "an OK button in select mode"

echo "== Ctrl+L, Ctrl+B and the right-click menu open the MIDI Log, Backups and About; the log holds the start-up request"
opens() {  # opens <title> <command...>: the command opens the window, which Ctrl+W closes
    "${@:2}"
    wait_for 5 has_window "^$1\$" || fail "${*:2} opened no $1 window"
    [ "$1" != "MIDI Log" ] || log_holds "$startup"
    xdotool windowfocus --sync "$(window_of "^$1\$")"
    xdotool key ctrl+w
    wait_for 5 no_window "^$1\$" || fail "Ctrl+W did not close $1"
}
log_holds() {
    xdotool mousemove --window "$(window_of '^MIDI Log$')" $(point 300 200) click 1 key ctrl+a ctrl+c
    wait_for 5 bash -c 'xclip -o -selection clipboard 2>/dev/null | grep -q -x -F -e "--> S $1"' _ "$1" \
        || fail "the MIDI Log does not show --> S $1"
}
panel_keys() { xdotool windowfocus --sync "$panel"; xdotool key "$@"; }
# The menu's nth item, from a right-click on the panel's version text.
menu_item() {
    xdotool mousemove --window "$panel" $(point 1100 38) click 3
    sleep 0.5
    for ((n = 0; n < $1; ++n)); do xdotool key Down; done
    xdotool key Return
}
opens "MIDI Log" panel_keys ctrl+l
opens Backups panel_keys ctrl+b
opens "MIDI Log" menu_item 1
opens Backups menu_item 2
menu_item 3
wait_for 5 has_window '^About Zandorium Uploader$' || fail "the menu's About opened nothing"
xdotool windowfocus --sync "$(window_of '^About Zandorium Uploader$')"
xdotool key Return
wait_for 5 no_window '^About Zandorium Uploader$' || fail "About did not close"

exit_front_panel "$panel" "$editor_pid"
echo "PASS"
