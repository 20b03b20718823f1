#!/usr/bin/env bash
# Backup and restore against the simulated unit, through the file dialogs as a
# user works them:
#  1. A backup, memories changed on the unit, a restore of the backup, and a
#     second backup: the two files are byte-identical and the unit holds the
#     memories of the first backup again. The restore made a safety copy of
#     the changed memories first; restoring that copy brings them back
#     exactly.
#  2. The unit going away in the middle of a restore: the editor stops at
#     once with a message that names the block, and hides its progress panel.
#  3. A restore into a unit whose data version is older: refused with the
#     message, nothing sent.
# usage: backup_e2e.sh <zandorium-editor> <zandorium-sim> <work dir>
set -euo pipefail
source "$(dirname "$0")/lib.sh"

editor=$1
simulator=$2
work=$3

ensure_display "$0" "$@"
e2e_begin xdotool import cmp

start_session ZandoriumBackup$$
panel_region panel-hidden

echo "== Back up, change memories on the unit, restore, back up again"
backup_to first
sim_command memory 3
state_has 'memory 3 (A, number 4) "Classic Lead"'
sim_command rename 3 Changed Lead
sim_command rename 518 Not Empty
sim_command memory 518
state_has '"Not Empty"'
sim_command memory 3
state_has '"Changed Lead"'
backup_to changed
restore_from first.mem
sleep 1
panel_region panel-restoring
same_picture "$work/panel-restoring.png" "$work/panel-hidden.png" && fail "no progress panel during the restore"
wait_for 60 grep -q '^restore complete' "$work/sim.err" || fail "the unit did not take the whole restore"
blocks=$(received_by_unit 1E)
[ "$blocks" = "$(tr -cd '\367' <"$work/first.mem" | wc -c)" ] || fail "the restore sent $blocks blocks"
safety=$(sed -n 's/^# Safety copy of the device.s memory: //p' "$work/editor.out")
[ -n "$safety" ] && [ "$(dirname "$safety")" = "$work/data/zandorium/uploader/backups" ] \
    || fail "no safety copy named in the trace: $safety"
cmp "$safety" "$work/changed.mem" || fail "the safety copy is not the unit's memory before the restore"
wait_for 5 grep -q -F "R $(frame 28 00)" "$work/editor.out" || fail "the unit did not report the restore done"
wait_for 5 panel_hidden panel-after || fail "the progress panel stayed after the restore"
backup_to second
cmp "$work/first.mem" "$work/second.mem" || fail "the second backup differs from the first"
sim_command memory 518
state_has '"Empty"'
sim_command memory 3
state_has '"Classic Lead"'
has_message "" && fail "a message after a good backup and restore: $(grep Message "$work/editor.err")"
echo "   $blocks blocks, $(stat -c %s "$work/first.mem") bytes, both backups identical"

echo "== Restoring the safety copy undoes the restore"
restore_from "${safety#"$work/"}"
wait_for 60 bash -c '[ $(grep -c "^restore complete" "$1") -ge 2 ]' _ "$work/sim.err" || fail "the copy was not restored"
wait_for 5 panel_hidden panel-undone || fail "the progress panel stayed after restoring the copy"
backup_to undone
cmp "$work/changed.mem" "$work/undone.mem" || fail "the unit's memory differs from before the first restore"
sim_command memory 3
state_has '"Changed Lead"'
has_message "" && fail "a message while undoing: $(grep Message "$work/editor.err")"

echo "== The unit goes away in the middle of a restore"
before=$(received_by_unit 1E)
restore_from first.mem
wait_for 20 bash -c '[ $(grep -c -F -e "<- $2" "$1") -ge $3 ]' _ "$work/sim.out" "$(command_prefix 1E)" $((before + 10)) \
    || fail "the restore did not start"
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
e2e_cleanup
E2E_PIDS=()
rm -f "$work/sim.in"
exec 7>&-

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
