# Shared by the end-to-end scripts; callers set "work", "editor" and "simulator".
# shellcheck shell=bash
readonly E2E_SKIP=77
E2E_PIDS=()
# Window pixels a form pixel: 2 on a screen that Qt scales by two.
E2E_SCALE=1
point() { echo "$(($1 * E2E_SCALE)) $(($2 * E2E_SCALE))"; }

# Ends what the script started. A JACK server of its own ends last: ended
# under its clients, jackd can leave its name in JACK's table of eight servers.
e2e_cleanup() {
    local p
    for p in "${E2E_PIDS[@]}"; do [ "$p" = "${own_jack_pid:-}" ] || kill "$p" 2>/dev/null || true; done
    for p in "${E2E_PIDS[@]}"; do [ "$p" = "${own_jack_pid:-}" ] || wait "$p" 2>/dev/null || true; done
    for p in "${E2E_PIDS[@]}"; do [ "$p" != "${own_jack_pid:-}" ] || { kill "$p"; wait "$p"; } 2>/dev/null || true; done
}

fail() {
    echo "FAIL: $*"
    # What the screen showed, for the log's reader.
    [ -z "${DISPLAY:-}" ] || import -window root "$work/failure.png" 2>/dev/null || true
    if [ -n "${DISPLAY:-}" ] && ! xset q >/dev/null 2>&1; then
        echo "--- the X server $DISPLAY is gone; the kernel's last word on killed processes:"
        dmesg 2>/dev/null | grep -i -E "killed process|out of memory|segfault" | tail -n 5 || true
    fi
    for f in "$work"/*.out "$work"/*.err; do [ -f "$f" ] && { echo "--- $f"; tail -n 30 "$f"; }; done
    exit 1
}

# wait_for <seconds> <command...>: until the command succeeds.
wait_for() {
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.1; done
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# ms_until <seconds> <command...>: the time until the check that succeeded
# began, so that what the check itself takes (a screenshot) is not counted.
ms_until() {
    local from=$(now_ms) deadline=$((SECONDS + $1)) began
    shift
    while :; do
        began=$(now_ms)
        "$@" && { echo $((began - from)); return 0; }
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}
# ends_ok <pid> <what>: what ended it, with status 0, within 10 s.
ends_ok() {
    wait_for 10 bash -c "! kill -0 $1 2>/dev/null" || { kill "$1"; fail "$2 did not end the program within 10 s"; }
    wait "$1" || fail "$2 ended with status $?"
}

window_of() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_of "$1")" ]; }
no_window() { ! has_window "$1"; }
# count_of <file> <text> [-x]: lines holding the text (-x: being it).
count_of() { grep -c -F ${3:-} -e "$2" "$1" || true; }
lines_equal() { [ "$(count_of "$1" "$2" -x)" = "$3" ]; }
at_least() { [ "$(count_of "$2" "$3" ${4:-})" -ge "$1" ]; }
has_line() { grep -q -x -F -e "$2" "$1"; }

# e2e_begin <tool...>: skips without a tool; a fresh $work with its own settings and data.
e2e_needs() {
    local tool
    for tool in "$@"; do command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit $E2E_SKIP; }; done
}
e2e_begin() {
    e2e_needs "$@"
    # No GPU in the virtual X server: no GL driver loaded for nothing.
    export QT_XCB_GL_INTEGRATION=none
    rm -rf "$work" && mkdir -p "$work"
    export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
    trap e2e_cleanup EXIT
}
# Re-runs the calling script under a virtual X server when there is no display.
ensure_display() {
    [ -z "${DISPLAY:-}" ] || return 0
    command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run is not installed"; exit $E2E_SKIP; }
    # Searched from a number of the script's own: the display the test before
    # closed may still be going away, and could take a new server's socket with it.
    # No reset when the last client leaves: on a busy machine the next one (the
    # editor started again) would find the server resetting and fail to connect.
    exec xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 1400x900x24 -noreset" "$@"
}

# A frame from the hex text of its body; the start of a command's frames.
frame() { echo "F0 7E 10 07 02 $* F7"; }
command_prefix() { echo "F0 7E 10 07 02 $1 "; }

# start_simulator <zandorium-sim> <client name> [options...]: trace in sim.out,
# console fed by sim_command. Skips when no MIDI system takes virtual ports.
start_simulator() {
    local binary=$1; shift
    # Held open read-write here, so the console neither blocks nor sees an end.
    exec 7>&-
    rm -f "$work/sim.in" && mkfifo "$work/sim.in"
    exec 7<>"$work/sim.in"
    "$binary" --name "$@" <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
    sim_pid=$!
    E2E_PIDS+=("$sim_pid")
    wait_for 10 grep -q '^ready' "$work/sim.out" && return
    [ "${ZANDORIUM_REQUIRE_MIDI:-0}" != 1 ] || fail "the simulator did not start"
    echo "SKIP: no MIDI system for the simulator"; cat "$work/sim.err"; exit $E2E_SKIP
}
sim_command() { echo "$*" >&7; }
received_by_unit() { count_of "$work/sim.out" "<- $(command_prefix "$1")"; }
# state_has <text...>: the unit's answer to a new state command holds each text.
state_has() {
    local from=$(($(wc -l <"$work/sim.out") + 1)) text
    sim_command state
    for text in "$@"; do
        wait_for 5 bash -c 'tail -n "+$1" "$2" | grep -q -F -- "$3"' _ "$from" "$work/sim.out" "$text" \
            || fail "the unit's state lacks: $text"
    done
}

# The MIDI system the programs find: the ALSA sequencer wherever there is one,
# else JACK.
on_alsa() { [ -c /dev/snd/seq ] && [ -r /dev/snd/seq ] && [ -w /dev/snd/seq ]; }
# port_listed <text>: a MIDI port whose name holds the text, as the editor lists them.
port_listed() { "$simulator" --list-ports 2>/dev/null | grep -q -F -e "$1"; }
port_gone() { ! port_listed "$1"; }
# An environment in which the editor finds no MIDI system on either: no ALSA
# configuration to open the sequencer by, and a JACK server nobody runs.
no_alsa() {
    mkdir -p "$work/config" && : >"$work/config/no-alsa.conf"
    echo "ALSA_CONFIG_PATH=$work/config/no-alsa.conf"
}
no_midi_system() { echo "$(no_alsa) JACK_DEFAULT_SERVER=zandorium-nobody-runs-this-$$"; }

# start_own_jack_server <period frames>: under JACK, a server for all the script
# starts, to stop or tune alone; under ALSA nothing. One name a script: the entry
# a server that ended badly left in JACK's table is taken back by the next one of
# the same name. Realtime where the machine allows it, as a desktop runs it.
own_jack_pid=
start_own_jack_server() {
    on_alsa && return 0
    export JACK_DEFAULT_SERVER=zandorium-$(basename "$0" .sh)
    local realtime=--no-realtime
    chrt -f 1 true 2>/dev/null && realtime=--realtime
    jackd "$realtime" -d dummy -r 48000 -p "$1" >"$work/jackd.log" 2>&1 &
    own_jack_pid=$!
    E2E_PIDS+=("$own_jack_pid")
    jack_wait -w -t 15 >/dev/null || fail "the script's JACK server did not start"
}

# start_editor [environment...]: the editor up to its port dialog (dialog) over the front panel (panel).
start_editor() {
    restores_done=0
    env "$@" "$editor" >"$work/editor.out" 2>"$work/editor.err" &
    editor_pid=$!
    E2E_PIDS+=("$editor_pid")
    wait_for 20 has_window '^Dialog$' || fail "no port dialog"
    dialog=$(window_of '^Dialog$')
    panel=$(window_of '^Zandorium Uploader$')
}
# type_port <client name>: the unit's name typed into the port dialog shown; choose_port presses Ok then.
type_port() {
    dialog=$(window_of '^Dialog$')
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    click_at "$dialog" 60 48
    xdotool type --delay 30 "$1"
}
choose_port() { type_port "$1"; sleep 0.3; click_at "$dialog" 177 211; }
# connect <client name>: the port chosen, the unit's versions back, the dialog gone.
connect() {
    choose_port "$1"
    wait_for 10 grep -q -F "R $(command_prefix 22)" "$work/editor.out" || fail "the unit's versions did not arrive"
    panel=$(window_of '^Zandorium Uploader$') && [ -n "$panel" ] || fail "no front panel"
    wait_for 20 no_window '^Dialog$' || fail "the port dialog stayed"
}
open_editor() { click_key "$panel" 12; wait_for 10 has_window '^Dialog$' || fail "no editor after Menu"; edit=$(window_of '^Dialog$'); }
# start_session <client name> [simulator options...]: a unit, the editor on it, the editor window (edit) open.
start_session() { start_simulator "$simulator" "$@"; start_editor; connect "$1"; open_editor; }
# The editor's close control; the front panel's Exit, which ends the editor.
close_editor() { click_at "$1" 917 10; wait_for 5 no_window '^Dialog$' || fail "the editor did not close"; }
exit_front_panel() { click_at "$1" 40 40; ends_ok "$2" Exit; }

click_at() { xdotool mousemove --window "$1" $(point "$2" "$3") click 1; }
# Front-panel key centres by key index.
key_x=(116 288 460 632 804 116 288 460 632 804 974 974 1146 1146)
key_y=(430 430 430 430 430 223 223 223 223 223 223 430 223 430)
click_key() { click_at "$1" "${key_x[$2]}" "${key_y[$2]}"; }

# file_dialog_open <title>: the file dialog itself, told from a question of the same title by its width.
file_dialog_open() {
    local id
    id=$(window_of "^$1\$") && [ -n "$id" ] || return 1
    [ "$(xdotool getwindowgeometry "$id" | awk '/Geometry/ { split($2, size, "x"); print size[1] }')" -gt $((400 * E2E_SCALE)) ]
}
file_dialog_gone() { ! file_dialog_open "$1"; }
# The list of completions a file dialog opens under the name typed: a window
# of the editor's one line high. It takes a Return meant for the
# dialog, and Escape in the name box empties the box; a click beside it, on
# the box's label, closes it alone.
completion_list() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$editor_pid" "" 2>/dev/null); do
        xdotool getwindowgeometry "$id" | grep -q -E 'Geometry: [0-9]+x[0-9]{1,2}$' && return 0
    done
    return 1
}
close_completions() {
    local id=$(window_of "^$1\$") tries WIDTH HEIGHT
    for tries in 1 2 3 4 5; do
        completion_list || return 0
        eval "$(xdotool getwindowgeometry --shell "$id")"
        xdotool mousemove --window "$id" $((30 * E2E_SCALE)) $((HEIGHT - 55 * E2E_SCALE)) click 1
        sleep 0.2
    done
}
# The file's folder first, then its name alone: a whole path typed while the
# dialog shows its folder is lost on Return. On a busy machine the dialog may
# still be changing folder when the name is typed, and drop it: then again.
answer_file_dialog() {
    wait_for 10 has_window "^$1\$" || fail "no \"$1\" dialog"
    local tries
    for tries in 1 2 3; do
        file_dialog_open "$1" || return 0
        xdotool windowfocus --sync "$(window_of "^$1\$")" 2>/dev/null || true
        sleep 0.3
        xdotool key ctrl+a
        xdotool type --delay 10 "$(dirname "$2")/"
        sleep 0.5
        close_completions "$1"
        xdotool key Return
        sleep 0.5
        xdotool key ctrl+a
        xdotool type --delay 10 "$(basename "$2")"
        sleep 0.5
        close_completions "$1"
        xdotool key Return
        wait_for 5 file_dialog_gone "$1" && return 0
        # A list that came up after the look took the Return.
        close_completions "$1"
        xdotool key Return
        wait_for 5 file_dialog_gone "$1" && return 0
    done
    fail "the \"$1\" dialog never took $2"
}
# Backup and restore; a backup's file named without its extension.
start_backup() { click_at "$edit" 628 678; answer_file_dialog "Save to file" "$work/$1"; }
backup_to() { start_backup "$1"; wait_for "${2:-30}" test -f "$work/$1.mem" || fail "no backup file $1.mem"; }
restore_from() { click_at "$edit" 628 712; answer_file_dialog "Select file" "$work/$1"; }

# The memory select dialog's window, told from the editor (also "Dialog") by its size.
memory_dialog() {
    local id
    for id in $(xdotool search --onlyvisible --name '^Dialog$' 2>/dev/null); do
        # A window may close between the search and the look.
        if xdotool getwindowgeometry "$id" 2>/dev/null | grep -q "Geometry: $((976 * E2E_SCALE))x$((320 * E2E_SCALE))"; then echo "$id"; return; fi
    done
}
has_memory_dialog() { [ -n "$(memory_dialog)" ]; }
no_memory_dialog() { ! has_memory_dialog; }
# Centres of the dialog's letters and digits.
bank_xy() { echo "$((20 + 36 * ($1 % 26) + 16)) $(($1 < 26 ? 96 : 136))"; }
number_xy() { echo "$((310 + 36 * $1 + 16)) 236"; }

crop() { import -window "$1" -crop "${4}x${5}+${2}+${3}" +repage "$6"; }
same_picture() { [ "$(convert "$1" rgb:- | md5sum)" = "$(convert "$2" rgb:- | md5sum)" ]; }
is_bright() { awk -v b="$(convert "$1" -colorspace Gray -format '%[fx:mean]' info:)" 'BEGIN { exit !(b > 0.5) }'; }
# The progress panel's place: hidden, as before any operation (the done picture gone too).
panel_region() { sleep 0.3; crop "$edit" 716 590 203 144 "$work/$1.png"; }
panel_hidden() { panel_region "$1" && same_picture "$work/$1.png" "$work/panel-hidden.png"; }

# The message the editor shows, as written on its console; its window (not edit).
has_message() { grep -q -F -e "Message: $1" "$work/editor.err"; }
message_window() {
    local id
    for id in $(xdotool search --onlyvisible --name '^Dialog$' 2>/dev/null); do [ "$id" = "$edit" ] || echo "$id"; done
}
has_message_window() { [ -n "$(message_window)" ]; }
# The editor's word that a restore is done, read and closed: one more each
# restore of the editor's run (start_editor starts the count again).
restores_done=0
restore_done() {
    restores_done=$((restores_done + 1))
    wait_for 10 at_least "$restores_done" "$work/editor.err" "Message: The restore is done" \
        || fail "no word that the restore is done: $(grep Message "$work/editor.err" | tail -n 1)"
    dismiss_message
}
dismiss_message() {
    local id
    for id in $(message_window); do xdotool windowfocus --sync "$id" 2>/dev/null || true; xdotool key Return; done
    sleep 0.5
}
