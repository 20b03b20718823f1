# Shared by the end-to-end scripts: waiting, windows, the simulator, and the
# port dialog as a user works it. Callers set "work" to their scratch folder,
# and "editor" and "simulator" to the binaries for start_session.
# shellcheck shell=bash

readonly E2E_SKIP=77
E2E_PIDS=()
# Window pixels per form pixel: 2 on a screen that Qt scales by two.
E2E_SCALE=1
# point <x> <y>: a point of a form, in its window's pixels.
point() { echo "$(($1 * E2E_SCALE)) $(($2 * E2E_SCALE))"; }

# Ends what the script started and waits for it, so nothing outlives the MIDI
# server. A server of the script's own among them ends last, once its clients
# have gone: ended under them, jackd can fail to take its name out of JACK's
# table of servers, which holds eight.
e2e_cleanup() {
    local p server=
    for p in "${E2E_PIDS[@]}"; do
        if [ "$p" = "${own_jack_pid:-}" ]; then server=$p; else kill "$p" 2>/dev/null || true; fi
    done
    for p in "${E2E_PIDS[@]}"; do [ "$p" = "$server" ] || wait "$p" 2>/dev/null || true; done
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
}

fail() {
    echo "FAIL: $*"
    for f in "$work"/*.out "$work"/*.err; do [ -f "$f" ] && { echo "--- $f"; tail -n 30 "$f"; }; done
    exit 1
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds=$1; shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

# Sets status to the exit status of child $1, waiting at most $2 seconds.
await_exit() {
    local pid=$1 seconds=$2
    status=timeout
    wait_for "$seconds" bash -c "! kill -0 $pid 2>/dev/null" || { kill "$pid"; return; }
    status=0
    wait "$pid" || status=$?
}

window_of() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_of "$1")" ]; }
no_window() { ! has_window "$1"; }
lines_equal() { [ "$(grep -c -x -F -e "$2" "$1" || true)" = "$3" ]; }
has_line() { grep -q -x -F -e "$2" "$1"; }

# e2e_begin <tool...>: skips when a tool is missing; then a fresh $work and
# cleanup at exit.
e2e_begin() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit $E2E_SKIP; }
    done
    # The virtual X server has no GPU; without this the GL driver is loaded for nothing.
    export QT_XCB_GL_INTEGRATION=none
    rm -rf "$work"
    mkdir -p "$work"
    # Settings and data of the script's own, never the user's.
    export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
    trap e2e_cleanup EXIT
}

# A frame of this protocol from the hex text of its body.
frame() { echo "F0 7E 10 07 02 $* F7"; }

# Re-runs the calling script under a virtual X server when there is no display.
ensure_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run is not installed"; exit $E2E_SKIP; }
    exec xvfb-run -a -s "-screen 0 1400x900x24" "$@"
}

# start_simulator <zandorium-sim> <client name> [options...]: its trace and
# console answers go to $work/sim.out; sim_command writes to its console. Sets
# sim_pid. Skips when no MIDI system takes virtual ports.
start_simulator() {
    local binary=$1; shift
    # Held open read-write here, so the console neither blocks nor sees an end.
    mkfifo "$work/sim.in"
    exec 7<>"$work/sim.in"
    "$binary" --name "$@" <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
    sim_pid=$!
    E2E_PIDS+=("$sim_pid")
    if ! wait_for 10 grep -q '^ready' "$work/sim.out"; then
        if [ "${ZANDORIUM_REQUIRE_MIDI:-0}" = 1 ]; then fail "the simulator did not start"; fi
        echo "SKIP: no MIDI system for the simulator"; cat "$work/sim.err"; exit $E2E_SKIP
    fi
}

sim_command() { echo "$*" >&7; }

# restart_simulator <client name> [options...]: the unit again, after the last
# one ended.
restart_simulator() {
    exec 7>&-
    rm -f "$work/sim.in"
    start_simulator "$simulator" "$@"
}

# start_own_jack_server <period frames>: a JACK server (dummy driver) of the
# script's own, which everything the script starts then uses, so that it can
# be stopped or tuned without touching other tests. Sets own_jack_pid; the
# caller decides when it ends.
start_own_jack_server() {
    # One name a script: the entry a server that ended badly left in JACK's
    # table of servers is taken back by the next server of the same name.
    export JACK_DEFAULT_SERVER=zandorium-$(basename "$0" .sh)
    jackd --no-realtime -d dummy -r 48000 -p "$1" >"$work/jackd.log" 2>&1 &
    own_jack_pid=$!
    jack_wait -w -t 15 >/dev/null || fail "the script's JACK server did not start"
}

# state_has <text>: the unit's answer to a state command, and no earlier one,
# contains the text.
state_has() {
    local from
    from=$(($(wc -l <"$work/sim.out") + 1))
    sim_command state
    wait_for 5 bash -c 'tail -n "+$1" "$2" | grep -q -F -- "$3"' _ "$from" "$work/sim.out" "$1" \
        || fail "the unit's state lacks: $1"
}

# choose_port <client name>: in the open port dialog, moves to the entry that
# starts with the name, as a user typing it would, and presses Ok.
choose_port() {
    local dialog
    wait_for 20 has_window '^Dialog$' || fail "no port dialog"
    dialog=$(window_of '^Dialog$')
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    xdotool mousemove --window "$dialog" $(point 60 48) click 1
    xdotool type --delay 30 "$1"
    sleep 0.3
    xdotool mousemove --window "$dialog" $(point 177 211) click 1
}

# Front-panel key centres, in window coordinates, by key index.
key_x=(116 288 460 632 804 116 288 460 632 804 974 974 1146 1146)
key_y=(430 430 430 430 430 223 223 223 223 223 223 430 223 430)
click_key() { xdotool mousemove --window "$1" $(point "${key_x[$2]}" "${key_y[$2]}") click 1; }

# click_at <window> <x> <y>: a left click at that point of the window.
click_at() { xdotool mousemove --window "$1" $(point $2 $3) click 1; }

# answer_file_dialog <caption> <path>: types the path into the dialog's name box.
answer_file_dialog() {
    local dialog
    wait_for 10 has_window "^$1\$" || fail "no \"$1\" dialog"
    dialog=$(window_of "^$1\$")
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    sleep 0.3
    xdotool type --delay 10 "$2"
    xdotool key Return
}

# The memory select dialog's window, told from the editor (also "Dialog") by
# its size; nothing when it is not shown.
memory_dialog() {
    local id
    for id in $(xdotool search --onlyvisible --name '^Dialog$' 2>/dev/null); do
        if xdotool getwindowgeometry "$id" | grep -q "Geometry: $((976 * E2E_SCALE))x$((320 * E2E_SCALE))"; then
            echo "$id"
            return 0
        fi
    done
}
has_memory_dialog() { [ -n "$(memory_dialog)" ]; }
no_memory_dialog() { ! has_memory_dialog; }
# Centres of the dialog's letters and digits, in its window coordinates.
bank_xy() { echo "$((20 + 36 * ($1 % 26) + 16)) $(($1 < 26 ? 96 : 136))"; }
number_xy() { echo "$((310 + 36 * $1 + 16)) 236"; }

# crop <window> <x> <y> <width> <height> <file>: that part of the window.
crop() { import -window "$1" -crop "${4}x${5}+${2}+${3}" +repage "$6"; }
same_picture() { [ "$(convert "$1" rgb:- | md5sum)" = "$(convert "$2" rgb:- | md5sum)" ]; }
# Mean brightness of a picture, 0 (black) to 1 (white).
brightness() { convert "$1" -colorspace Gray -format '%[fx:mean]' info:; }
is_bright() { awk -v b="$(brightness "$1")" 'BEGIN { exit !(b > 0.5) }'; }

# The editor's close control, at the right end of its top bar.
close_editor() {
    xdotool mousemove --window "$1" $(point 917 10) click 1
    wait_for 5 no_window '^Dialog$' || fail "the editor did not close"
}

# exit_front_panel <panel window> <editor pid>: presses Exit, which must end
# the editor with status 0.
exit_front_panel() {
    xdotool mousemove --window "$1" $(point 40 40) click 1
    await_exit "$2" 10
    [ "$status" = 0 ] || fail "Exit ended with status $status"
}

# --- A session: the unit, the editor on it, its messages, backup and restore.

# Frames of a command, whatever their arguments.
command_prefix() { echo "F0 7E 10 07 02 $1 "; }
received_by_unit() { grep -c -F -e "<- $(command_prefix "$1")" "$work/sim.out" || true; }
panel_region() { sleep 0.3; crop "$edit" 716 590 203 144 "$work/$1.png"; }
# The panel's place looks as before any operation; the done picture, which
# overlaps it for two seconds after a restore, must have gone too.
panel_hidden() { panel_region "$1" && same_picture "$work/$1.png" "$work/panel-hidden.png"; }

# The message the editor shows, as it also writes it on its console.
has_message() { grep -q -F -e "Message: $1" "$work/editor.err"; }
# The shown message's window: the dialog that is not the editor ($edit).
message_window() {
    local id
    for id in $(xdotool search --onlyvisible --name '^Dialog$' 2>/dev/null); do
        [ "$id" != "$edit" ] && echo "$id"
    done
    return 0
}
# Dismisses the shown message with its Ok button.
dismiss_message() {
    local id
    for id in $(message_window); do
        xdotool windowfocus --sync "$id" 2>/dev/null || true
        xdotool key Return
    done
    sleep 0.5
}

# start_session <client name> [simulator options...]: a unit, the editor on
# it, and the editor window opened from the front panel.
start_session() {
    local unit=$1
    shift
    start_simulator "$simulator" "$unit" "$@"
    "$editor" >"$work/editor.out" 2>"$work/editor.err" &
    E2E_PIDS+=("$!")
    editor_pid=$!
    choose_port "$unit"
    wait_for 10 grep -q -F "R $(command_prefix 22)" "$work/editor.out" || fail "the unit's versions did not arrive"
    panel=$(window_of '^Zandorium Uploader$')
    [ -n "$panel" ] || fail "no front panel"
    wait_for 20 no_window '^Dialog$' || fail "the port dialog stayed"
    click_key "$panel" 12
    wait_for 10 has_window '^Dialog$' || fail "Menu did not open the editor"
    edit=$(window_of '^Dialog$')
}

# start_backup <file>: Backup, the name typed without its extension.
start_backup() {
    click_at "$edit" 628 678
    answer_file_dialog "Save to file" "$work/$1"
}

# backup_to <file>: a backup, waited for.
backup_to() {
    start_backup "$1"
    wait_for "${2:-30}" test -f "$work/$1.mem" || fail "no backup file $1.mem"
}

restore_from() {
    click_at "$edit" 628 712
    answer_file_dialog "Select file" "$work/$1"
}

# Resident memory of a process, in KiB.
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
