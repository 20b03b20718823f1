#!/usr/bin/env bash
# Faults under the real editor, against the simulated unit, each on a JACK
# server of the script's own so that it can be stopped:
#  1. The unit killed in the middle of a backup: the editor notices its ports
#     have gone and stops at once with a message, hides its panel and writes
#     no file; the unit back while the message is open is reconnected.
#  2. The JACK server stopped under the editor: it says so on standard error
#     and in a message, drops each frame it would send with a message, keeps
#     its windows working, and Exit ends it with status 0.
# usage: faults_e2e.sh <zandorium-editor> <zandorium-sim> <work dir>
set -euo pipefail
source "$(dirname "$0")/lib.sh"

editor=$1
simulator=$2
work=$3

ensure_display "$0" "$@"
e2e_begin xdotool import jackd jack_wait

start_own_jack_server 256
E2E_PIDS+=("$own_jack_pid")

# A message the editor has written, counted.
messages() { grep -c -F -e "Message: $1" "$work/editor.err" || true; }

start_session ZandoriumFaults$$ --block-interval 40
panel_region panel-hidden

echo "== The unit is killed in the middle of a backup"
start_backup lost
wait_for 20 bash -c '[ $(grep -c -F -e "-> $2" "$1") -ge 20 ]' _ "$work/sim.out" "$(command_prefix 1E)" \
    || fail "the backup did not start"
kill -9 "$sim_pid"
killed=$SECONDS
wait_for 15 has_message "The device was disconnected during the backup." || fail "no message after the unit went away"
waited=$((SECONDS - killed))
[ "$waited" -le 3 ] || fail "the editor gave up after $waited s, not at once"
# Back while the message is still open: the editor reconnects all the same.
restart_simulator ZandoriumFaults$$ --block-interval 40
wait_for 10 has_line "$work/sim.out" "<- $(frame 09 4D 00)" || fail "no reconnection while the message was open"
dismiss_message
wait_for 5 panel_hidden panel-gone || fail "the progress panel stayed"
[ -z "$(ls "$work" | grep -v -E '\.(out|err|log|png|in)$|^(config|data)$' || true)" ] || fail "files were written: $(ls "$work")"
echo "   stopped $waited s after the unit went away; no file"

echo "== The JACK server stops under the editor"
sent_before=$(grep -c '^--> S' "$work/editor.out" || true)
kill "$own_jack_pid"
wait "$own_jack_pid" 2>/dev/null || true
wait_for 10 grep -q -F "The JACK server has stopped" "$work/editor.err" || fail "no word of the stopped server"
wait_for 10 has_message "The MIDI system has stopped" || fail "no message about the stopped server"
dismiss_message
click_key "$panel" 0
sleep 0.5
click_key "$panel" 0
wait_for 5 bash -c '[ $(grep -c -x -F "Not sent: the MIDI system has stopped" "$1") -ge 4 ]' _ "$work/editor.err" \
    || fail "the key presses were not reported as dropped"
[ "$(grep -c '^--> S' "$work/editor.out")" -ge $((sent_before + 4)) ] || fail "the front panel stopped sending"
[ "$(messages "The MIDI system has stopped")" = 1 ] || fail "the stopped server was reported more than once"
click_at "$edit" 628 678
wait_for 10 has_window '^Save to file$' || fail "the editor's buttons stopped working"
xdotool key Escape
wait_for 5 no_window '^Save to file$' || fail "the save dialog stayed"
exit_front_panel "$panel" "$editor_pid"
echo "PASS"
