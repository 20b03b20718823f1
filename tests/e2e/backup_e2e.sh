#!/usr/bin/env bash
# Backup and restore against the simulated unit, through the file dialogs as a
# user works them: the round trip and its safety copy, the unit gone
# mid-restore, a unit with an older data version.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
editor=$1 simulator=$2 work=$3
ensure_display "$0" "$@"
e2e_begin xdotool import cmp
no_message() { ! has_message "" || fail "a message $1: $(grep Message "$work/editor.err")"; }
# named <memory> <name>: the unit, switched there, reports the memory by that name.
named() { sim_command memory "$1"; state_has "\"$2\""; }

start_session ZandoriumBackup$$
panel_region panel-hidden

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
wait_for 5 panel_hidden panel-after || fail "the progress panel stayed after the restore"
backup_to second
cmp "$work/first.mem" "$work/second.mem" || fail "the second backup differs from the first"
named 518 'Empty'
named 3 'Classic Lead'
no_message "after a good backup and restore"

echo "== Restoring the safety copy undoes the restore"
restore_from "${safety#"$work/"}"
wait_for 60 at_least 2 "$work/sim.err" "restore complete" || fail "the copy was not restored"
wait_for 5 panel_hidden panel-undone || fail "the progress panel stayed after restoring the copy"
backup_to undone
cmp "$work/changed.mem" "$work/undone.mem" || fail "the unit's memory differs from before the first restore"
named 3 'Changed Lead'
no_message "while undoing"

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
[ -n "$stalled" ] && [ "$stalled" -gt 10 ] && [ "$stalled" -le $((seen + 1)) ] \
    || fail "the message names the wrong block ($seen seen): $(grep Message "$work/editor.err")"
dismiss_message
wait_for 5 panel_hidden panel-timeout || fail "the progress panel stayed after the time-out"
exit_front_panel "$panel" "$editor_pid"

echo "== A restore into a unit with an older data version is refused"
start_session ZandoriumOlder$$ --data-version 1.0.1
restore_from first.mem
wait_for 10 has_message "Incompatible version.  File data version 1.0.3 Memory data version 1.0.1" \
    || fail "no refusal message: $(grep Message "$work/editor.err" || true)"
dismiss_message
wait_for 5 panel_hidden panel-refused || fail "the progress panel stayed after the refusal"
[ "$(received_by_unit 1E)" = 0 ] || fail "a refused file reached the unit"
exit_front_panel "$panel" "$editor_pid"
echo "PASS"
