#!/usr/bin/env bash
# The memory select dialog against the simulated unit, driven as a user would:
#  1. Choosing a bank and a number switches the unit's current memory; the
#     editor and the front panel then show exactly what they show when the
#     unit itself switches to that memory.
#  2. Writing stores the editor's current settings into the chosen memory: the
#     dialog shows the done picture and closes when the unit asks.
#  3. The unit opens the dialog on its own, in either mode, and closes it.
# usage: memory_e2e.sh <zandorium-editor> <zandorium-sim> <work dir>
set -euo pipefail
source "$(dirname "$0")/lib.sh"

editor=$1
simulator=$2
work=$3

ensure_display "$0" "$@"
e2e_begin xdotool xclip import

unit=ZandoriumMemory$$
# The dialog stays up three seconds after a write, time enough to see its picture.
start_simulator "$simulator" "$unit" --close-delay 3000

reports_of() { grep -c -x -F -e "R $(frame "$1") " "$work/editor.out" || true; }
# report_after <frame body> <command...>: runs the command, then waits for one
# more report of that frame in the editor's trace.
report_after() {
    local body=$1 before
    shift
    before=$(reports_of "$body")
    "$@"
    wait_for 10 lines_equal "$work/editor.out" "R $(frame "$body") " $((before + 1))
}
sent_to_unit() { wait_for 5 has_line "$work/sim.out" "<- $(frame "$1")" || fail "the unit did not receive $1"; }
# The front panel's bank, number and name displays; the editor's BnkNum group.
panel_display() { sleep 0.5; crop "$panel" 880 120 328 31 "$work/$1.png"; }
editor_display() { sleep 0.5; crop "$edit" 470 108 110 92 "$work/$1.png"; }
name_in_editor() {
    click_at "$edit" 580 74
    xdotool key ctrl+a ctrl+c
    wait_for 5 bash -c "[ \"\$(xclip -o -selection clipboard 2>/dev/null)\" = '$1' ]"
}

"$editor" >"$work/editor.out" 2>"$work/editor.err" &
E2E_PIDS+=("$!")
editor_pid=$!
choose_port "$unit"
wait_for 10 has_line "$work/editor.out" "R $(frame 0A 0C 43 6C 61 73 73 69 63 20 4C 65 61 64) " \
    || fail "the start-up report did not arrive"
panel=$(window_of '^Zandorium Uploader$')
[ -n "$panel" ] || fail "no front panel"
wait_for 20 no_window '^Dialog$' || fail "the port dialog stayed"

echo "== What the displays show when the unit itself is on lower C 5 (284), and on A 4 (3)"
report_after "05 02 1C" sim_command memory 284 || fail "the unit did not report memory 284"
state_has 'memory 284 (C lower row, number 5)'
name284=$(grep -F 'memory 284 (C lower row, number 5)' "$work/sim.out" | tail -n 1 | sed 's/.*"\(.*\)"$/\1/')
panel_display panel-284
report_after "05 00 03" sim_command memory 3 || fail "the unit did not report memory 3"
panel_display panel-3
same_picture "$work/panel-3.png" "$work/panel-284.png" && fail "the front panel shows A 4 as it shows C 5"
click_key "$panel" 12
wait_for 10 has_window '^Dialog$' || fail "Menu did not open the editor"
edit=$(window_of '^Dialog$')
report_after "05 02 1C" sim_command memory 284 || fail "the unit did not report memory 284"
editor_display editor-284
report_after "05 00 03" sim_command memory 3 || fail "the unit did not report memory 3"
editor_display editor-3
same_picture "$work/editor-3.png" "$work/editor-284.png" && fail "the editor shows A 4 as it shows C 5"

echo "== Choosing lower C and 5 in the dialog selects memory 284"
click_at "$edit" 628 610                                       # Select Memory
wait_for 10 has_memory_dialog || fail "Select Memory did not open the dialog"
dialog=$(memory_dialog)
sleep 0.5
import -window "$dialog" "$work/memory-select.png"
click_at "$dialog" $(bank_xy 28)
sent_to_unit "17 1C"
report_after "05 02 1C" click_at "$dialog" $(number_xy 4) || fail "the unit did not report the chosen memory"
sent_to_unit "18 04"
sent_to_unit "05 02 1C"
state_has 'memory 284 (C lower row, number 5)'
click_at "$dialog" 488 290                                      # Close
wait_for 5 no_memory_dialog || fail "Close did not hide the dialog"
editor_display editor-chosen
same_picture "$work/editor-chosen.png" "$work/editor-284.png" || fail "the editor does not show C 5"
name_in_editor "$name284" || fail "the editor's name box does not read \"$name284\""
close_editor "$edit"
panel_display panel-chosen
same_picture "$work/panel-chosen.png" "$work/panel-284.png" || fail "the front panel does not show C 5 and its name"

echo "== Writing the editor's settings into upper Z 10 (259)"
click_key "$panel" 12
wait_for 10 has_window '^Dialog$' || fail "Menu did not open the editor again"
edit=$(window_of '^Dialog$')
click_at "$edit" 580 74
xdotool key ctrl+a
xdotool type --delay 20 "Saved Lead"
click_at "$edit" 869 74                                         # Set
sent_to_unit "0A 0A 53 61 76 65 64 20 4C 65 61 64"
click_at "$edit" 610 163                                        # amp B
sent_to_unit "0F 01"
click_at "$edit" 628 644                                        # Write Memory
sent_to_unit "1C 00"
wait_for 10 has_memory_dialog || fail "Write Memory did not open the dialog"
dialog=$(memory_dialog)
report_after "19 19" click_at "$dialog" $(bank_xy 25) || fail "the unit did not confirm the bank to write"
report_after "20 09" click_at "$dialog" $(number_xy 9) || fail "the unit did not confirm the number to write"
sleep 0.5
import -window "$dialog" "$work/memory-write.png"
crop "$dialog" 752 176 171 77 "$work/done-before.png"
report_after "28 00" click_at "$dialog" 353 290 || fail "OK did not complete the write"   # OK
sent_to_unit "06 02 03"
sleep 0.5
crop "$dialog" 752 176 171 77 "$work/done-after.png"
import -window "$dialog" "$work/memory-write-done.png"
same_picture "$work/done-before.png" "$work/done-after.png" && fail "no done picture after the write"
wait_for 10 has_line "$work/editor.out" "R $(frame 1B 01) " || fail "the unit did not close the dialog"
wait_for 5 no_memory_dialog || fail "the dialog stayed after the unit closed it"
# Away and back: the memory itself holds what was written.
report_after "05 00 03" sim_command memory 3 || fail "the unit did not leave memory 259"
report_after "05 02 03" sim_command memory 259 || fail "the unit did not return to memory 259"
state_has 'memory 259 (Z, number 10) "Saved Lead"'
state_has '  amp 1, '

echo "== The unit opens the dialog on its own, in either mode"
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

exit_front_panel "$panel" "$editor_pid"
echo "PASS"
