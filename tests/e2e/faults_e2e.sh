#!/usr/bin/env bash
# Faults under the real editor, on a JACK server of the script's own so that
# it can be stopped: the unit killed mid-backup, then the server stopped.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
editor=$1 simulator=$2 work=$3
ensure_display "$0" "$@"
e2e_begin xdotool import jackd jack_wait
start_own_jack_server 256
E2E_PIDS+=("$own_jack_pid")

start_session ZandoriumFaults$$ --block-interval 40
panel_region panel-hidden

echo "== The unit is killed mid-backup: a message at once, the panel hidden, no file"
start_backup lost
wait_for 20 at_least 20 "$work/sim.out" "-> $(command_prefix 1E)" || fail "the backup did not start"
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

echo "== The JACK server stops: said once, each frame reported dropped, the windows working, Exit 0"
sent_before=$(count_of "$work/editor.out" "--> S")
kill "$own_jack_pid"
wait "$own_jack_pid" 2>/dev/null || true
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
