#!/usr/bin/env bash
# The ALSA sequencer as a desktop has it, in the test VM (scripts/test.sh --alsa):
# a USB MIDI interface made of the kernel's dummy USB controller and a MIDI
# gadget, taken by the desktop's own USB audio driver, plugged in and pulled
# out; the unit is the simulator at the interface's far end (the gadget's
# client, f_midi). Skips anywhere else.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
editor=$1 simulator=$2 work=$3
usb_unit=$(cd "$(dirname "$0")/../../scripts/alsavm" && pwd)/usb-unit.sh
if [ "${ALSAVM_GUEST:-0}" != 1 ] || ! on_alsa; then
    echo "SKIP: needs the ALSA VM (scripts/test.sh --alsa)"
    exit $E2E_SKIP
fi
ensure_display "$0" "$@"
e2e_begin xdotool import cmp convert jackd jack_wait

unplug_all() {
    local unit
    for unit in 0 1; do USB_UNIT=$unit "$usb_unit" unplug >/dev/null 2>&1 || true; done
    modprobe snd-seq-dummy
}
trap 'e2e_cleanup; unplug_all' EXIT

startup=$(frame 09 4D 00)
press=$(frame 01 02)
name_report="R $(frame 0A 0C 43 6C 61 73 73 69 63 20 4C 65 61 64) "

# usb <unit> <command>: the interface; what it prints (the unit's clients) goes to usb.log.
usb() {
    USB_UNIT=$1 "$usb_unit" "${@:2}" >"$work/usb.log" 2>&1 || fail "usb-unit.sh $*: $(cat "$work/usb.log")"
    { echo "unit $1 ${*:2}:"; cat "$work/usb.log"; } >>"$work/usb-all.log"
}
# Clients of the unit just powered or connected: its far end, its port as the editor lists it.
far_end_client() { sed -n "s/^client \([0-9]*\): 'f_midi'.*/\1/p" "$work/usb.log"; }
host_port() { echo "Zandorium:Zandorium MIDI 1 $(sed -n "s/^client \([0-9]*\): 'Zandorium'.*/\1/p" "$work/usb.log"):0"; }

# start_unit <tag> [simulator options...]: a unit without a console, traced in <tag>.out.
start_unit() {
    local tag=$1; shift
    "$simulator" --name "Unit$tag" "$@" </dev/null >"$work/$tag.out" 2>"$work/$tag.err" &
    E2E_PIDS+=($!)
    printf -v "${tag}_pid" %s $!
    wait_for 10 grep -q '^ready' "$work/$tag.out" || fail "unit $tag did not start: $(cat "$work/$tag.err")"
}
# A far end attached to the gadget's client: by name, or by number when two units are in.
start_far_end() { start_unit "$1" --attach "$2" "${@:3}"; wait_for 10 attached "$1" 1 || fail "far end $1 did not attach"; }
attached() { [ "$(count_of "$work/$1.out" "attached: ")" -ge "$2" ]; }
asked() { count_of "$work/$1.out" "<- $startup" -x; }
asked_more() { [ "$(asked "$1")" -gt "$2" ]; }
blocks_of() { count_of "$work/$1.out" "$2 $(command_prefix 1E)"; }
# blocks_beyond <tag> <direction> <count>: more than count blocks went that way.
blocks_beyond() { [ "$(blocks_of "$1" "$2")" -gt "$3" ]; }
presses_beyond() { [ "$(count_of "$work/$1.out" "<- $press" -x)" -gt "$2" ]; }
asked_once_more() {
    wait_for 10 asked_more "$1" "$2" || fail "$1 was not asked for its state"
    sleep 1.5
    [ "$(asked "$1")" = $(($2 + 1)) ] || fail "$1 was asked $(($(asked "$1") - $2)) times"
}
press_reaches() {
    local before=$(count_of "$work/$1.out" "<- $press" -x)
    click_key "$panel" 2
    wait_for 5 presses_beyond "$1" "$before" || fail "a press did not reach $1"
}

# The front panel's connection box; the port list.
connection_region() { crop "$panel" 500 28 350 64 "$work/$1.png"; }
looks_connected() { connection_region now && same_picture "$work/now.png" "$work/connected.png"; }
list_region() { crop "$dialog" 32 42 177 147 "$work/$1.png"; }
list_changed() { list_region now && ! same_picture "$work/now.png" "$work/$1.png"; }
blank() { [ "$(convert "$1" -format '%[fx:standard_deviation]' info:)" = 0 ]; }
looks_lost() { ! looks_connected; }
# pulled <unit>: the cable pulled; the panel says so within 2 s.
pulled() {
    local shown gone=$(count_of "$work/editor.err" "The device's ports have gone")
    usb "$1" unplug
    # Timed by the console's word, written in the step that changes the panel;
    # usb-unit.sh saw the clients go at most 100 ms before it returned.
    shown=$(ms_until 5 at_least $((gone + 1)) "$work/editor.err" "The device's ports have gone") \
        || fail "no word of the lost unit on the console"
    shown=$((shown + 100))
    [ "$shown" -le 2000 ] || fail "the unit's loss was seen after $shown ms"
    wait_for 5 looks_lost || fail "the panel does not show the unit has gone"
    echo "   the lost state showed at most $shown ms after the unit went"
}
# The row of an input port in the port dialog, which lists them as the editor
# sees them, without its own and the sequencer's loop.
dialog_row() { "$simulator" --list-ports 2>/dev/null | sed -n 's/^in: //p' | grep -v -e '^RtMidi ' -e '^Midi Through:' | grep -n -x -F "$1" | cut -d: -f1; }
choose_row() {
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    click_at "$dialog" 60 48
    xdotool key Home
    local down
    for ((down = 1; down < $1; ++down)); do xdotool key Down; done
    sleep 0.3
    click_at "$dialog" 177 211
}
connected_to_unit() {
    wait_for 10 grep -q -F "R $(command_prefix 22)" "$work/editor.out" || fail "the unit's versions did not arrive"
    wait_for 20 no_window '^Dialog$' || fail "the port dialog stayed"
    sleep 1
    connection_region connected
}

echo "== Only the sequencer, no port: an empty list and no message; the unit plugged in is listed within 2 s"
rmmod snd_seq_dummy
start_editor
sleep 1.5
list_region empty
blank "$work/empty.png" || fail "the list is not empty"
! has_message "" || fail "a message: $(grep Message "$work/editor.err")"
usb 0 power
start_far_end far f_midi --block-interval 20
sleep 1.5
list_region powered
usb 0 connect
# The clients came at most 400 ms before usb-unit.sh returned.
listed=$(ms_until 5 list_changed powered) || fail "the unit was never listed"
listed=$((listed + 400))
unit0=$(host_port)
[ "$listed" -le 2000 ] || fail "the unit was listed $listed ms after it appeared"
echo "   listed at most $listed ms after it appeared"
choose_port Zandorium
connected_to_unit
wait_for 10 has_line "$work/editor.out" "$name_report" || fail "the unit's state did not come back"
[ "$(asked far)" = 1 ] || fail "the start-up request reached the unit $(asked far) times"
press_reaches far
exit_front_panel "$panel" "$editor_pid"
modprobe snd-seq-dummy

echo "== A unit whose client is numbered after the editor's is remembered by its own port"
start_editor
start_unit later
later=$("$simulator" --list-ports 2>/dev/null | sed -n 's/^in: \(Unitlater:.*\)$/\1/p')
choose_port Unitlater
connected_to_unit
exit_front_panel "$panel" "$editor_pid"
grep -q -x -F "inputPortFullName=$later" "$work/config/zandorium/uploader.conf" \
    || fail "not remembered as $later: $(grep inputPort "$work/config/zandorium/uploader.conf")"
start_editor
click_at "$dialog" 120 20  # the heading: the dialog has the keyboard, the choice stays
xdotool key Return
wait_for 10 asked_more later 1 || fail "Return did not connect to the remembered unit"
kill "$later_pid"
wait_for 10 grep -q -F "The device's ports have gone: $later" "$work/editor.err" \
    || fail "the lost ports are not named as the unit's: $(grep -F "ports have gone" "$work/editor.err")"
exit_front_panel "$panel" "$editor_pid"

echo "== The cable pulled: the lost state within 2 s; plugged in again: reconnected, asked once, its state shown"
start_editor
choose_port Zandorium
connected_to_unit
before=$(asked far)
names=$(count_of "$work/editor.out" "$name_report" -x)
pulled 0
grep -q -F "The device's ports have gone: $unit0" "$work/editor.err" || fail "the console does not name the unit's port"
usb 0 power
wait_for 10 attached far 2 || fail "the far end did not attach again"
usb 0 connect
back=$(ms_until 10 asked_more far "$before") || fail "the unit was not asked for its state"
echo "   asked for its state at most $((back + 400)) ms after it appeared"
asked_once_more far "$before"
wait_for 10 at_least $((names + 1)) "$work/editor.out" "$name_report" -x || fail "the unit's state did not come back"
wait_for 5 looks_connected || fail "the panel still shows the unit as gone"
press_reaches far

echo "== Back up and restore through the interface: the unit gets back exactly its memory"
open_editor
panel_region panel-hidden
backup_to usb
restore_from usb.mem
wait_for 60 grep -q '^restore complete' "$work/far.err" || fail "the unit did not take the whole restore"
[ "$(blocks_of far '<-')" = "$(tr -cd '\367' <"$work/usb.mem" | wc -c)" ] || fail "the restore sent $(blocks_of far '<-') blocks"
restore_done
wait_for 10 panel_hidden panel-after || fail "the progress panel stayed after the restore"
backup_to again
cmp "$work/usb.mem" "$work/again.mem" || fail "the backup after the restore differs"
[ "$(count_of "$work/editor.err" "Message: ")" = 1 ] || fail "a message: $(grep Message "$work/editor.err")"

echo "== The cable pulled mid-backup and mid-restore: stopped at once with the messages of any lost unit"
sent=$(blocks_of far '->')
start_backup lost
wait_for 20 blocks_beyond far '->' $((sent + 20)) || fail "the backup did not start"
usb 0 unplug
stopped=$(ms_until 15 has_message "The device was disconnected during the backup.") || fail "no message after the cable was pulled"
[ "$stopped" -le 3000 ] || fail "the backup stopped $stopped ms after the cable was pulled"
dismiss_message
[ ! -e "$work/lost.mem" ] || fail "a file was written"
usb 0 power
wait_for 10 attached far 3 || fail "the far end did not attach again"
usb 0 connect
wait_for 15 asked_more far $((before + 1)) || fail "no reconnection after the backup"
sleep 1
received=$(blocks_of far '<-')
restore_from usb.mem
wait_for 30 blocks_beyond far '<-' $((received + 10)) || fail "the restore did not start"
usb 0 unplug
stopped=$(ms_until 15 has_message "The device was disconnected during the restore, at block ") || fail "no message"
[ "$stopped" -le 3000 ] || fail "the restore stopped $stopped ms after the cable was pulled"
dismiss_message
wait_for 5 panel_hidden panel-pulled || fail "the progress panel stayed"
exit_front_panel "$panel" "$editor_pid"
kill "$far_pid"

echo "== Two interfaces of one name: the chosen one is connected, lost alone, and found again"
usb 0 power
start_far_end first "$(far_end_client)"
usb 0 connect
unit0=$(host_port)
usb 1 power
start_far_end second "$(far_end_client)"
usb 1 connect
unit1=$(host_port)
[ "${unit1% *}" = "${unit0% *}" ] && [ "$unit1" != "$unit0" ] || fail "the two units are not named alike: $unit0, $unit1"
start_editor
choose_row "$(dialog_row "$unit1")"
connected_to_unit
grep -q -x -F "# Ports opened: $unit1 (input), $unit1 (output)" "$work/editor.out" \
    || fail "not the chosen unit's ports, $unit1: $(grep '^# Ports' "$work/editor.out")"
[ "$(asked second)" = 1 ] && [ "$(asked first)" = 0 ] || fail "the chosen unit was not the one asked"
press_reaches second
pulled 1
sleep 2
[ "$(asked first)" = 0 ] || fail "the other unit of the name was taken for the one that went"
kill "$second_pid"
usb 1 power
start_far_end again "$(far_end_client)"
usb 1 connect
asked_once_more again 0
press_reaches again
[ "$(asked first)" = 0 ] && [ "$(count_of "$work/first.out" "<- $press" -x)" = 0 ] || fail "frames reached the other unit"
exit_front_panel "$panel" "$editor_pid"

echo "== Both pulled, the other plugged in first at the chosen one's numbers: not taken; the chosen one is"
start_editor
choose_row "$(dialog_row "$unit0")"
connected_to_unit
pulled 0
usb 1 unplug
kill "$first_pid" "$again_pid"
usb 1 power
start_far_end other "$(far_end_client)"
usb 1 connect
[ "$(host_port)" = "$unit0" ] || echo "   (the other unit came back as $(host_port), not at $unit0)"
sleep 3
[ "$(asked other)" = 0 ] || fail "the other unit, back where the chosen one was, was taken for it"
usb 0 power
start_far_end chosen "$(far_end_client)"
usb 0 connect
asked_once_more chosen 0
press_reaches chosen
[ "$(count_of "$work/other.out" "<- $press" -x)" = 0 ] || fail "frames reached the other unit"
exit_front_panel "$panel" "$editor_pid"

echo "== The same backup over JACK is byte-identical"
export JACK_DEFAULT_SERVER=zandorium-alsa-e2e
realtime=--no-realtime
chrt -f 1 true 2>/dev/null && realtime=--realtime
jackd "$realtime" -d dummy -r 48000 -p 1024 >"$work/jackd.log" 2>&1 &
E2E_PIDS+=($!)
jack_wait -w -t 15 >/dev/null || fail "the JACK server did not start"
start_unit jack --api jack
start_editor "$(no_alsa)"
choose_port Unitjack
connected_to_unit
open_editor
backup_to jack
cmp "$work/usb.mem" "$work/jack.mem" || fail "the backup over JACK differs from the one through the interface"
exit_front_panel "$panel" "$editor_pid"
echo "PASS"
