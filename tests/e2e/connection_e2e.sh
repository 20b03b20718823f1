#!/usr/bin/env bash
# The connection as a user meets it; backup and restore through the file dialogs;
# faults. Under JACK on a server of the script's own, so that it can be stopped.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
editor=$1 simulator=$2 work=$3
ensure_display "$0" "$@"
e2e_begin xdotool import cmp
# Periods a loaded machine does not miss: a missed period loses what it
# carried, and a backup or restore missing a block stops.
on_alsa || e2e_needs jackd jack_wait
start_own_jack_server 1024

startup=$(frame 09 4D 00)
dropped_line="Not sent: the device is not connected"
# The panel's place for the connection state, against its look while connected.
connection_region() { crop "$panel" 500 28 350 64 "$work/$1.png"; }
looks_connected() { connection_region now && same_picture "$work/now.png" "$work/connected.png"; }
looks_lost() { ! looks_connected; }
# No message but the one of the backup cut short and each restore's word that it is done.
no_message() { [ "$(count_of "$work/editor.err" "Message: ")" = "$1" ] || fail "a message $2: $(grep Message "$work/editor.err")"; }
# named <memory> <name>: the unit, switched there, reports the memory by that name.
named() { sim_command memory "$1"; state_has "\"$2\""; }
# The start-up request reached the unit once, and a press reaches it.
asked_once_and_working() {
    sleep 1.5
    lines_equal "$work/sim.out" "<- $startup" 1 || fail "the start-up request was sent more than once"
    click_key "$panel" 2
    wait_for 5 has_line "$work/sim.out" "<- $(frame 01 02)" || fail "a press did not reach the unit: $1"
}

echo "== No MIDI system: said, and Cancel ends the program"
start_editor $(no_midi_system)
wait_for 10 has_message "No MIDI system could be opened" || fail "no word of the missing MIDI system"
grep -q -F "There is no ALSA sequencer, and no JACK server is running." "$work/editor.err" || fail "the message gives no reason"
edit=$dialog dismiss_message
click_at "$dialog" 67 211
ends_ok "$editor_pid" Cancel

echo "== The unit's ports go between the choice and Ok: the message, or no choice left; status 0"
start_simulator "$simulator" ZandoriumGone$$
start_editor
type_port ZandoriumGone$$
kill "$sim_pid"
wait_for 10 port_gone ZandoriumGone$$ || fail "the unit's ports stayed"
click_at "$dialog" 177 211
# The dialog's list, read again every second, may have seen the port go
# first: then no choice is left and Ok does nothing. Both are sound.
if wait_for 5 has_message "The MIDI ports could not be opened.  The port \"ZandoriumGone$$"; then
    grep -q -F "is no longer there." "$work/editor.err" || fail "the message does not say the port has gone"
    edit=$dialog dismiss_message
else
    ! has_message "" || fail "another message: $(grep Message "$work/editor.err")"
    has_window '^Dialog$' || fail "the dialog ended without a word"
    click_at "$dialog" 67 211
fi
ends_ok "$editor_pid" "the failed open"
! grep -q -F -- "--> S $startup" "$work/editor.out" || fail "the start-up request was sent to a port that had gone"

echo "== A key pressed before Ok never reaches the unit"
unit=ZandoriumConnect$$
start_simulator "$simulator" "$unit"
start_editor
click_key "$panel" 2
wait_for 5 lines_equal "$work/editor.err" "$dropped_line" 2 || fail "the key's frames were not dropped"
choose_port "$unit"
wait_for 10 grep -q '^<- ' "$work/sim.out" || fail "the unit received nothing"
grep -m 1 '^<- ' "$work/sim.out" | grep -q -x -F -- "<- $startup" || fail "the unit's first frame is not the start-up request"
exit_front_panel "$panel" "$editor_pid"

echo "== The port is remembered: one Return connects"
start_editor
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool key Return
wait_for 10 lines_equal "$work/sim.out" "<- $startup" 2 || fail "Return did not connect to the remembered port"
wait_for 10 no_window '^Dialog$' || fail "the port dialog stayed"

# JACK gives it the same names, and numbers the new client anew while the old one is being removed.
echo "== The unit goes and comes back at once, before the editor could see it gone: reconnected"
kill -9 "$sim_pid"
start_simulator "$simulator" "$unit"
wait_for 10 has_line "$work/sim.out" "<- $startup" || fail "the editor did not reconnect to a unit back at once"
asked_once_and_working "back at once"

echo "== The unit goes: the panel says so within 2 s, presses reach nobody"
sleep 1
connection_region connected
name_report="R $(frame 0A 0C 43 6C 61 73 73 69 63 20 4C 65 61 64) "
names_before=$(count_of "$work/editor.out" "$name_report" -x)
gone=$(count_of "$work/editor.err" "The device's ports have gone")
kill -9 "$sim_pid"
# Timed by the console's word, written in the step that changes the panel: a
# screenshot at each try would time the screenshots.
shown=$(ms_until 5 at_least $((gone + 1)) "$work/editor.err" "The device's ports have gone") \
    || fail "no word of the lost unit on the console"
[ "$shown" -le 2000 ] || fail "the unit's loss was seen after $shown ms"
wait_for 5 looks_lost || fail "the panel does not show the unit has gone"
echo "   the lost state showed $shown ms after the unit went"
dropped=$(count_of "$work/editor.err" "$dropped_line" -x)
click_key "$panel" 4
wait_for 5 lines_equal "$work/editor.err" "$dropped_line" $((dropped + 2)) || fail "a press while the unit was gone was not dropped"

echo "== The unit comes back: reconnected, asked once, its state shown"
start_simulator "$simulator" "$unit" --block-interval 40  # paced, to be killed mid-backup
back=$(ms_until 10 has_line "$work/sim.out" "<- $startup") || fail "the editor did not reconnect"
echo "   asked for its state $back ms after the unit was ready"
wait_for 10 at_least $((names_before + 1)) "$work/editor.out" "$name_report" -x || fail "the unit's state did not come back"
wait_for 5 looks_connected || fail "the panel still shows the unit as gone"
asked_once_and_working "after the reconnection"

echo "== The unit killed mid-backup: a message at once, the panel hidden, no file"
open_editor
panel_region panel-hidden
start_backup lost
wait_for 20 at_least 20 "$work/sim.out" "-> $(command_prefix 1E)" || fail "the backup did not start"
kill -9 "$sim_pid"
killed=$SECONDS
wait_for 15 has_message "The device was disconnected during the backup." || fail "no message after the unit went away"
[ $((SECONDS - killed)) -le 3 ] || fail "the editor gave up after $((SECONDS - killed)) s, not at once"
# Back while the message is still open: the editor reconnects all the same.
start_simulator "$simulator" "$unit"
wait_for 10 has_line "$work/sim.out" "<- $startup" || fail "no reconnection while the message was open"
dismiss_message
wait_for 5 panel_hidden panel-gone || fail "the progress panel stayed"
[ -z "$(ls "$work" | grep -v -E '\.(out|err|log|png|in)$|^(config|data)$' || true)" ] || fail "files were written: $(ls "$work")"

echo "== Back up, change memories on the unit, restore, back up again: identical"
backup_to first
named 3 'Classic Lead'
sim_command rename 3 Changed Lead
sim_command rename 518 Not Empty
named 518 'Not Empty'
named 3 'Changed Lead'
backup_to changed
restore_from first.mem
sleep 1
panel_region panel-restoring
same_picture "$work/panel-restoring.png" "$work/panel-hidden.png" && fail "no progress panel during the restore"
wait_for 60 grep -q '^restore complete' "$work/sim.err" || fail "the unit did not take the whole restore"
blocks=$(received_by_unit 1E)
[ "$blocks" = "$(tr -cd '\367' <"$work/first.mem" | wc -c)" ] || fail "the restore sent $blocks blocks"
# The safety copy made first is the unit's memory from before the restore.
safety=$(sed -n 's/^# Safety copy of the device.s memory: //p' "$work/editor.out")
[ -n "$safety" ] && [ "$(dirname "$safety")" = "$work/data/zandorium/uploader/backups" ] \
    || fail "no safety copy named in the trace: $safety"
cmp "$safety" "$work/changed.mem" || fail "the safety copy is not the unit's memory before the restore"
wait_for 5 grep -q -F "R $(frame 28 00)" "$work/editor.out" || fail "the unit did not report the restore done"
restore_done
wait_for 5 panel_hidden panel-after || fail "the progress panel stayed after the restore"
backup_to second
cmp "$work/first.mem" "$work/second.mem" || fail "the second backup differs from the first"
named 518 'Empty'
named 3 'Classic Lead'
no_message 2 "after a good backup and restore"

echo "== Restoring the safety copy undoes the restore"
restore_from "${safety#"$work/"}"
wait_for 60 at_least 2 "$work/sim.err" "restore complete" || fail "the copy was not restored"
restore_done
wait_for 5 panel_hidden panel-undone || fail "the progress panel stayed after restoring the copy"
backup_to undone
cmp "$work/changed.mem" "$work/undone.mem" || fail "the unit's memory differs from before the first restore"
named 3 'Changed Lead'
no_message 3 "while undoing"

echo "== The unit goes mid-restore: stopped at once, a message naming the block, the panel hidden"
before=$(received_by_unit 1E)
restore_from first.mem
wait_for 20 at_least $((before + 10)) "$work/sim.out" "<- $(command_prefix 1E)" || fail "the restore did not start"
kill -9 "$sim_pid"
killed=$SECONDS
wait_for 15 has_message "The device was disconnected during the restore, at block " || fail "no message"
[ $((SECONDS - killed)) -le 3 ] || fail "the restore went on $((SECONDS - killed)) s after the unit went"
# The block named is the last one sent: at most one past what the unit saw.
stalled=$(sed -n "s/.*Message: The device was disconnected during the restore, at block \([0-9]*\) of $blocks\..*/\1/p" "$work/editor.err")
seen=$(($(received_by_unit 1E) - before))
[ -n "$stalled" ] && [ "$stalled" -ge 10 ] && [ "$stalled" -ge "$seen" ] && [ "$stalled" -le $((seen + 1)) ] \
    || fail "the message names the wrong block ($seen seen): $(grep Message "$work/editor.err")"
dismiss_message
wait_for 5 panel_hidden panel-timeout || fail "the progress panel stayed after the time-out"

echo "== A restore into a unit with an older data version is refused"
start_simulator "$simulator" "$unit" --data-version 1.0.1
wait_for 10 has_line "$work/sim.out" "<- $startup" || fail "no reconnection to the older unit"
restore_from first.mem
wait_for 10 has_message "Incompatible version.  File data version 1.0.3 Memory data version 1.0.1" || fail "no refusal"
dismiss_message
wait_for 5 panel_hidden panel-refused || fail "the progress panel stayed after the refusal"
[ "$(received_by_unit 1E)" = 0 ] || fail "a refused file reached the unit"

# How a unit cuts its memory is the file's business, not the MIDI system's.
if ! on_alsa; then
    echo "== Units that cut their memory otherwise, and answer in their own time and order:" \
         "backed up, restored, backed up again: identical"
    messages=$(count_of "$work/editor.err" "Message: ")
    while read -r layout options; do
        kill "$sim_pid"
        wait "$sim_pid" 2>/dev/null || true
        # shellcheck disable=SC2086  # the options are words
        start_simulator "$simulator" "$unit" --block-layout "$layout" --first-block 65 $options
        wait_for 10 has_line "$work/sim.out" "<- $startup" || fail "no reconnection to the $layout unit"
        backup_to "$layout"
        restore_from "$layout.mem"
        wait_for 60 grep -q '^restore complete' "$work/sim.err" || fail "the $layout unit did not take its own backup"
        restore_done
        wait_for 5 panel_hidden "panel-$layout" || fail "the progress panel stayed after the $layout restore"
        backup_to "$layout-again"
        cmp "$work/$layout.mem" "$work/$layout-again.mem" || fail "the $layout unit's memory changed in the restore"
    done <<'UNITS'
bytes --startup-delay 2000 --startup-order versions-last --trailing-bytes 3 --slow-acks 90
packed
UNITS
    [ "$(count_of "$work/editor.err" "Message: ")" = $((messages + 2)) ] \
        || fail "a message about another layout: $(grep Message "$work/editor.err" | tail -n 1)"

    echo "== A unit at MIDI cable speed: a backup of over 12 s, the same file"
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
    start_simulator "$simulator" "$unit" --byte-rate 3125
    wait_for 10 has_line "$work/sim.out" "<- $startup" || fail "no reconnection to the slow unit"
    started=$SECONDS
    backup_to cable 60
    [ $((SECONDS - started)) -ge 12 ] || fail "the backup took $((SECONDS - started)) s at cable speed"
    cmp "$work/first.mem" "$work/cable.mem" || fail "the backup at cable speed differs"
    [ "$(count_of "$work/editor.err" "Message: ")" = $((messages + 2)) ] \
        || fail "a message at cable speed: $(grep Message "$work/editor.err" | tail -n 1)"
fi

if on_alsa; then
    # The ALSA sequencer is the kernel's: there is no server to stop.
    exit_front_panel "$panel" "$editor_pid"
    echo "PASS"
    exit 0
fi
echo "== The JACK server stops: said once, each frame reported dropped, the windows working, Exit 0"
sent_before=$(count_of "$work/editor.out" "--> S")
{ kill "$own_jack_pid"; wait "$own_jack_pid"; } 2>/dev/null || true
wait_for 10 grep -q -F "The JACK server has stopped" "$work/editor.err" || fail "no word of the stopped server"
wait_for 10 has_message "The MIDI system has stopped" || fail "no message about the stopped server"
dismiss_message
click_key "$panel" 0
sleep 0.5
click_key "$panel" 0
wait_for 5 at_least 4 "$work/editor.err" "Not sent: the MIDI system has stopped" -x || fail "the key presses were not reported as dropped"
at_least $((sent_before + 4)) "$work/editor.out" "--> S" || fail "the front panel stopped sending"
[ "$(count_of "$work/editor.err" "Message: The MIDI system has stopped")" = 1 ] || fail "the stopped server was reported more than once"
click_at "$edit" 628 678
wait_for 10 has_window '^Save to file$' || fail "the editor's buttons stopped working"
xdotool key Escape
wait_for 5 no_window '^Save to file$' || fail "the save dialog stayed"
exit_front_panel "$panel" "$editor_pid"
echo "PASS"
