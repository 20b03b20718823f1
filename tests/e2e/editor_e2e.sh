#!/usr/bin/env bash
# The real editor under X against a MIDI peer on real ports, driven by clicks:
#  1. Cancel in the port dialog ends the program with status 0 and sends nothing.
#  2. Choosing the peer and pressing Ok sends the start-up request once; a
#     front-panel key sends its press frame at once and its release frame at
#     release, on the wire and in the trace; Exit ends with status 0.
# usage: editor_e2e.sh <zandorium-editor> <zandorium-midi-peer> <work dir>
set -euo pipefail

editor=$1
peer=$2
work=$3
readonly skip=77

if [ -z "${DISPLAY:-}" ]; then
    command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run is not installed"; exit $skip; }
    exec xvfb-run -a -s "-screen 0 1400x900x24" "$0" "$@"
fi
command -v xdotool >/dev/null || { echo "SKIP: xdotool is not installed"; exit $skip; }
# The virtual X server has no GPU; without this the GL driver is loaded for nothing.
export QT_XCB_GL_INTEGRATION=none

rm -rf "$work"
mkdir -p "$work"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

fail() { echo "FAIL: $*"; for f in "$work"/*.out "$work"/*.err "$work"/peer.txt; do [ -f "$f" ] && { echo "--- $f"; tail -n 20 "$f"; }; done; exit 1; }

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
lines_equal() { [ "$(grep -c -x -F -e "$2" "$1" || true)" = "$3" ]; }

peer_name=ZandoriumE2E$$
"$peer" "$peer_name" "$work/peer.txt" 170 >"$work/peer.out" 2>"$work/peer.err" &
pids+=($!)
if ! wait_for 10 grep -q ready "$work/peer.out"; then
    if [ "${ZANDORIUM_REQUIRE_MIDI:-0}" = 1 ]; then fail "the MIDI peer did not start"; fi
    echo "SKIP: no MIDI system for the peer"; cat "$work/peer.err"; exit $skip
fi

startup='F0 7E 10 07 02 09 4D 00 F7'
press='F0 7E 10 07 02 01 02 F7'
release='F0 7E 10 07 02 00 02 F7'

echo "== Cancel ends the program"
"$editor" >"$work/cancel.out" 2>"$work/cancel.err" &
editor_pid=$!
pids+=($editor_pid)
wait_for 20 has_window '^Dialog$' || fail "no port dialog"
wait_for 10 has_window '^Zandorium Uploader$' || fail "no front panel behind the dialog"
sleep 0.5
import -window root "$work/port-dialog.png" 2>/dev/null || true
dialog=$(window_of '^Dialog$')
xdotool mousemove --window "$dialog" 67 211 click 1
await_exit $editor_pid 10
[ "$status" = 0 ] || fail "Cancel ended with status $status"
! grep -q -- '--> S' "$work/cancel.out" || fail "a frame was sent after Cancel"
[ ! -s "$work/peer.txt" ] || fail "the peer received something after Cancel"

echo "== Ok sends the start-up request once; a key sends press and release"
"$editor" >"$work/ok.out" 2>"$work/ok.err" &
editor_pid=$!
pids+=($editor_pid)
wait_for 20 has_window '^Dialog$' || fail "no port dialog"
dialog=$(window_of '^Dialog$')
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
# Click the first entry, then type the peer's name to move to its entry.
xdotool mousemove --window "$dialog" 60 48 click 1
xdotool type --delay 30 "$peer_name"
sleep 0.3
xdotool mousemove --window "$dialog" 177 211 click 1
wait_for 10 grep -q -x -F -- "--> S $startup" "$work/ok.out" || fail "no start-up line in the trace"
wait_for 10 test -s "$work/peer.txt" || fail "the peer received nothing"
sleep 0.5
lines_equal "$work/peer.txt" "$startup" 1 || fail "the start-up request did not arrive exactly once"
lines_equal "$work/ok.out" "--> S $startup" 1 || fail "the start-up line is not in the trace exactly once"

panel=$(window_of '^Zandorium Uploader$')
[ -n "$panel" ] || fail "no front panel"
xdotool mousemove --window "$panel" 460 430 mousedown 1
wait_for 5 grep -q -x -F "$press" "$work/peer.txt" || fail "no press frame on the wire while the key is held"
sleep 0.5
! grep -q -x -F "$release" "$work/peer.txt" || fail "release frame sent before the release"
grep -q -x -F -- "--> S $press" "$work/ok.out" || fail "no press line in the trace"
! grep -q -F -- "--> S $release" "$work/ok.out" || fail "release traced before the release"
import -window root "$work/front-panel.png" 2>/dev/null || true
xdotool mouseup 1
wait_for 5 grep -q -x -F "$release" "$work/peer.txt" || fail "no release frame on the wire"
grep -q -x -F -- "--> S $release" "$work/ok.out" || fail "no release line in the trace"
tail -n 1 "$work/peer.txt" | grep -q -x -F "$release" || fail "release is not the last frame"

xdotool mousemove --window "$panel" 40 40 click 1
await_exit $editor_pid 10
[ "$status" = 0 ] || fail "Exit ended with status $status"
echo "PASS"
