#!/usr/bin/env bash
# Installs, builds, and runs the editor against the simulated unit.
#   scripts/demo.sh              on this display: the simulator runs in the
#                                background; pick "Zandorium" in the port dialog
#   scripts/demo.sh --headless   under a virtual X server: takes the tour a user
#                                would and saves screenshots under build/demo/
# A JACK server with the dummy driver is started when the machine has no MIDI
# system, and stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
source tests/e2e/lib.sh

headless=0
case "${1:-}" in
    "") [ -n "${DISPLAY:-}" ] || headless=1 ;;
    --headless) headless=1 ;;
    *) echo "usage: scripts/demo.sh [--headless]" >&2; exit 2 ;;
esac

install_dependencies
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target zandorium-editor zandorium-sim

if [ $headless = 1 ] && [ "${ZANDORIUM_DEMO_IN_X:-0}" != 1 ]; then
    ZANDORIUM_DEMO_IN_X=1 exec xvfb-run -a -s "-screen 0 1400x900x24 -noreset" "$0" --headless
fi

work=build/demo
rm -rf "$work"
mkdir -p "$work"
trap 'e2e_cleanup; stop_midi_system' EXIT
start_midi_system "$work/jackd.log"
export ZANDORIUM_REQUIRE_MIDI=1
unit=Zandorium
# Blocks paced as a MIDI cable carries them, so a backup's progress can be seen.
start_simulator build/zandorium-sim "$unit" --block-interval 20
echo "Simulated unit on the MIDI ports of client \"$unit\"; its trace: $work/sim.out"

if [ $headless = 0 ]; then
    ./build/zandorium-editor
    exit 0
fi

export QT_XCB_GL_INTEGRATION=none
export XDG_CONFIG_HOME=$PWD/$work/config XDG_DATA_HOME=$PWD/$work/data
shot() {
    import -window "$1" "$work/$2.png"
    echo "Screenshot: $work/$2.png"
}
# A received frame's trace line, which ends with a space after F7.
received() { wait_for 10 has_line "$work/editor.out" "R F0 7E 10 07 02 $1 F7 "; }

./build/zandorium-editor >"$work/editor.out" 2>"$work/editor.err" &
editor_pid=$!
E2E_PIDS+=("$editor_pid")
wait_for 20 has_window '^Dialog$' || fail "the port dialog did not appear"
sleep 1
shot root port-dialog

choose_port "$unit"
received "0A 0C 43 6C 61 73 73 69 63 20 4C 65 61 64" || fail "the unit's state did not arrive"
panel=$(window_of '^Zandorium Uploader$')
sleep 0.5
shot "$panel" front-panel

# Loops 3 and 5 on, as a player switching in two effects.
click_key "$panel" 2
received "07 01 02" || fail "no LED answer for loop 3"
click_key "$panel" 4
received "07 01 04" || fail "no LED answer for loop 5"
sleep 0.5
shot "$panel" front-panel-loops

# Menu: the unit asks the editor to open, filled with the current memory.
click_key "$panel" 12
received "08 01" || fail "the unit did not ask for the editor"
wait_for 10 has_window '^Dialog$' || fail "the editor did not open"
sleep 1
editor_window=$(window_of '^Dialog$')
edit=$editor_window
shot "$editor_window" editor

# The memory dialog in both modes: Select Memory and its Close, then Write
# Memory with a target chosen, left by Close (the unit is told to cancel).
xdotool mousemove --window "$editor_window" 628 610 click 1
wait_for 10 has_memory_dialog || fail "the memory dialog did not open"
sleep 1
shot "$(memory_dialog)" memory-select
xdotool mousemove --window "$(memory_dialog)" 488 290 click 1
wait_for 5 no_memory_dialog || fail "the memory dialog did not close"
xdotool mousemove --window "$editor_window" 628 644 click 1
wait_for 10 has_memory_dialog || fail "the memory dialog did not open to write"
xdotool mousemove --window "$(memory_dialog)" $(bank_xy 30) click 1
received "19 1E" || fail "the unit did not confirm the bank to write"
xdotool mousemove --window "$(memory_dialog)" $(number_xy 6) click 1
received "20 06" || fail "the unit did not confirm the number to write"
sleep 0.5
shot "$(memory_dialog)" memory-write
xdotool mousemove --window "$(memory_dialog)" 623 290 click 1
wait_for 5 no_memory_dialog || fail "the memory dialog did not close"

# Backup: the save dialog, then the progress panel while the unit sends.
click_at "$editor_window" 628 678
wait_for 10 has_window '^Save to file$' || fail "no save dialog"
sleep 1
shot "$(window_of '^Save to file$')" backup-dialog
answer_file_dialog "Save to file" "$PWD/$work/memory"
sleep 1.5
shot "$editor_window" backup-progress
wait_for 30 test -f "$work/memory.mem" || fail "the backup was not written"
echo "Backup: $work/memory.mem, $(stat -c %s "$work/memory.mem") bytes"

# Restore: the open dialog, then the backup made to look one data version
# newer than the unit's, which the editor refuses with a message.
perl -0777 -pe 's/(\d+)(\.\d+\.\d+)/($1 + 1) . $2/e' "$work/memory.mem" >"$work/newer.mem"
click_at "$editor_window" 628 712
wait_for 10 has_window '^Select file$' || fail "no open dialog"
sleep 1
shot "$(window_of '^Select file$')" restore-dialog
answer_file_dialog "Select file" "$PWD/$work/newer.mem"
wait_for 10 has_message "Incompatible version." || fail "the newer file was not refused"
sleep 1
shot "$(message_window)" message
dismiss_message

# A real restore of the backup, which leaves a safety copy of the unit's memory.
restore_from_file() { click_at "$editor_window" 628 712; answer_file_dialog "Select file" "$PWD/$work/$1"; }
restore_from_file memory.mem
wait_for 90 has_message "The restore is done" || fail "the restore of the backup did not end as done"
dismiss_message

# The MIDI Log and the Backups window, from the front panel's shortcuts.
window_shot() {
    xdotool windowfocus --sync "$panel"
    xdotool key "$2"
    wait_for 10 has_window "^$1\$" || fail "$2 opened no $1 window"
    sleep 1
    shot "$(window_of "^$1\$")" "$3"
    xdotool windowfocus --sync "$(window_of "^$1\$")"
    xdotool key ctrl+w
    wait_for 5 no_window "^$1\$" || fail "$1 did not close"
}
window_shot Backups ctrl+b backups
window_shot "MIDI Log" ctrl+l midi-log

# The editor's close control, then the front panel's Exit.
close_editor "$editor_window"
exit_front_panel "$panel" "$editor_pid"
echo "Tour done. Traces: $work/editor.out (editor), $work/sim.out (unit)"
