#!/usr/bin/env bash
# Load on the real editor: floods of every command code, garbage, oversize
# frames, channel messages and real-time bytes from the unit, and thousands of
# key presses and parameter changes. Nothing lost, memory flat.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
editor=$1 simulator=$2 work=$3
ensure_display "$0" "$@"
e2e_begin xdotool import
on_alsa || e2e_needs jackd jack_wait
# Periods a loaded machine does not miss: a missed period loses what it carried.
start_own_jack_server 1024
# Two thirds of what a port carries at this period without loss.
readonly FLOOD_BYTES_PER_MS=450

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
# stays_flat <before> <after>: resident KiB settle a little, never grow with the
# load; judged in plain builds, as AddressSanitizer's quarantine grows by design.
stays_flat() {
    [ -z "${ASAN_OPTIONS:-}" ] || return 0
    [ $(($2 - $1)) -le 4096 ] || fail "memory grew from $1 to $2 KiB"
}
# flood <seconds> [command...]: one flood, the command run while it goes, then
# waited for; sets last_marker.
flood() {
    local before=$(count_of "$work/sim.err" "flood done")
    sim_command flood "$1" $FLOOD_BYTES_PER_MS
    [ $# -lt 2 ] || "${@:2}"
    wait_for $(($1 + 20)) at_least $((before + 1)) "$work/sim.err" "flood done" || fail "the flood did not end"
    last_marker=$(sed -n 's/^flood done: .*last marker \([0-9]*\)$/\1/p' "$work/sim.err" | tail -n 1)
    # The ALSA sequencer may still drop what comes while the editor drains it:
    # more markers, one at a time, until one gets through.
    local tries
    for tries in 1 2 3 4 5; do
        on_alsa && ! wait_for 2 marker_received "$last_marker" || break
        sim_command mark
        wait_for 5 grep -q "^marker $((last_marker + 1))\$" "$work/sim.out" || fail "the unit sent no marker"
        last_marker=$((last_marker + 1))
    done
    sim_command close 0  # a memory dialog the flood may have opened
    sleep 1
}
# The marker numbers the editor received, in order of arrival: the six digits
# of "mark 000123" are the bytes 30-39.
markers_received() {
    grep -o -E "R $(command_prefix 0A)0B 6D 61 72 6B 20( 3[0-9]){6} F7" "$work/editor.out" \
        | awk '{ n = 0; for (i = 14; i <= 19; ++i) n = n * 10 + substr($i, 2, 1); print n }'
}
marker_received() { markers_received | grep -q -x "$1"; }
# Sent frames counted wherever they stand: a sent line can start in the middle
# of a received one, whose bytes are traced as they come.
sent_count() { grep -o -F -e "--> S $(command_prefix "$1")$2 F7" "$work/editor.out" | wc -l; }
arrived_count() { count_of "$work/sim.out" "<- $(command_prefix "$1")$2 F7" -x; }
# press_loop_key <count>: key 1 pressed count times more, each press and release reaching the unit.
presses=0
press_loop_key() {
    presses=$((presses + $1))
    xdotool mousemove --window "$panel" "${key_x[0]}" "${key_y[0]}" click --repeat "$1" --delay 8 1
    wait_for 20 lines_equal "$work/sim.out" "<- $(frame 00 00)" "$presses" \
        || fail "$presses releases pressed, $(arrived_count 00 00) reached the unit"
    [ "$(sent_count 01 00)" = "$presses" ] && [ "$(arrived_count 01 00)" = "$presses" ] \
        || fail "$presses presses: $(sent_count 01 00) sent, $(arrived_count 01 00) arrived"
}

start_session ZandoriumLoad$$

echo "== A flood of 10 s: the editor lives, the markers arrive in order, memory flat, the panel works"
# The first, longer flood brings up what the editor builds once (the memory dialog,
# caches, the allocator's pools): measured, memory settles within about 20 s of it.
flood 20
first_marker=$last_marker
rss_before=$(rss_kb "$editor_pid")
flood 10
kill -0 "$editor_pid" 2>/dev/null || fail "the editor died in the flood"
rss_after=$(rss_kb "$editor_pid")
received=$(markers_received | awk -v from="$first_marker" '$1 > from')
count=$(echo "$received" | wc -l)
[ "$(echo "$received" | sort -n -c 2>&1)" = "" ] || fail "markers out of order"
# The last marker comes after a pause: whatever the flood cost, the editor is back.
[ "$(echo "$received" | tail -n 1)" = "$last_marker" ] || fail "the last marker, $last_marker, did not arrive"
sent=$((last_marker - first_marker))
# JACK carries all of it. The ALSA sequencer drops events that a client's input
# pool cannot hold, and RtMidi says so on standard error for each one.
on_alsa || [ "$count" = "$sent" ] || fail "$count of $sent markers arrived"
err_lines=$(wc -l <"$work/editor.err")
[ "$err_lines" -le 100 ] || fail "standard error grew to $err_lines lines: $(sort "$work/editor.err" | uniq -c | sort -rn | head -n 5)"
stays_flat "$rss_before" "$rss_after"
echo "   $(grep '^flood done' "$work/sim.err" | tail -n 1 | cut -d: -f2); $count of $sent markers, in order;" \
     "resident $rss_before -> $rss_after KiB; $err_lines lines on standard error"
press_loop_key 1

echo "== The same flood with the MIDI Log open: the panel answers throughout"
xdotool windowfocus --sync "$panel"
xdotool key ctrl+l
wait_for 5 has_window '^MIDI Log$' || fail "Ctrl+L opened no MIDI Log"
# In a corner of the screen, clear of the keys and controls clicked here.
xdotool windowmove "$(window_of '^MIDI Log$')" 700 650
more_sent() { [ "$(sent_count 01 00)" -gt "$1" ]; }
# The flood may open the modal memory dialog, which takes the click instead.
sent_or_blocked() { more_sent "$1" || has_memory_dialog; }
# Key 1 clicked every half second of the flood; slowest: the longest wait for a
# press to be seen sent, at most a check (a tenth of a second or so) late.
probe_panel() {
    local until=$((SECONDS + $1)) took before click start
    slowest=0 probes=0 blocked=0
    while [ $SECONDS -lt $until ]; do
        before=$(sent_count 01 00) start=$(now_ms)
        xdotool mousemove --window "$panel" "${key_x[0]}" "${key_y[0]}" click 1 &
        click=$!
        wait_for 10 sent_or_blocked "$before" || fail "a key press in the flood was not sent within 10 s"
        took=$(($(now_ms) - start))
        wait $click
        if more_sent "$before"; then
            probes=$((probes + 1)) slowest=$((took > slowest ? took : slowest))
        else
            blocked=$((blocked + 1))
            sim_command close 0
            wait_for 5 no_memory_dialog || fail "the memory dialog the flood opened did not close"
        fi
        sleep 0.5
    done
}
rss_before=$(rss_kb "$editor_pid")
flood 10 probe_panel 10
kill -0 "$editor_pid" 2>/dev/null || fail "the editor died in the flood"
# Not flat: the window fills towards its 100,000 lines.
echo "   $probes key presses sent, the slowest after $slowest ms ($blocked taken by a memory dialog);" \
     "resident $rss_before -> $(rss_kb "$editor_pid") KiB"
xdotool windowfocus --sync "$(window_of '^MIDI Log$')"
xdotool key ctrl+w
wait_for 5 no_window '^MIDI Log$' || fail "Ctrl+W did not close the MIDI Log"
# Whatever the dialogs took, every press sent arrives, and so does its release.
presses=$(sent_count 01 00)
press_loop_key 1

echo "== A long session: key presses and parameter changes"
# Buffer 2 toggled: a frame on every click. The first rounds bring the caches up.
session_round() {
    press_loop_key 400
    xdotool mousemove --window "$edit" 730 139 click --repeat 200 --delay 8 1
}
session_round
session_round
sleep 1
rss_before=$(rss_kb "$editor_pid")
for round in 1 2 3 4 5 6; do session_round; done
buffer_sent() { echo $(($(sent_count 10 00) + $(sent_count 10 01))); }
# The editor may still be at the clicks: sent and arrived agree once it is done.
all_arrived() { [ "$(buffer_sent)" = "$(received_by_unit 10)" ]; }
settled() { all_arrived && sleep 1 && all_arrived; }
wait_for 30 settled || fail "$(buffer_sent) Buffer 2 frames sent, $(received_by_unit 10) arrived"
buffer_changes=$(buffer_sent)
# A slow machine's X server can merge clicks 8 ms apart; what is sent must arrive.
[ "$buffer_changes" -ge 1200 ] || fail "1600 Buffer 2 clicks sent $buffer_changes frames"
sleep 1
# Loop 1's LED reports, on and off (the flood's are not traced by the unit).
leds_sent=$(grep -c -E -e "^-> $(command_prefix 07)0[01] 00 F7$" "$work/sim.out" || true)
leds_received=$(grep -o -E -e "R $(command_prefix 07)0[01] 00 F7" "$work/editor.out" | wc -l)
[ "$leds_received" = "$leds_sent" ] || fail "$leds_sent LED reports sent, $leds_received arrived"
rss_after=$(rss_kb "$editor_pid")
stays_flat "$rss_before" "$rss_after"
echo "   $presses presses, $buffer_changes parameter changes, $leds_sent LED reports, none lost;" \
     "resident $rss_before -> $rss_after KiB"
exit_front_panel "$panel" "$editor_pid"
echo "PASS"
