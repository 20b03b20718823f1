#!/usr/bin/env bash
# The whole-process figures of docs/performance.md, against the simulated unit
# on a JACK server of the script's own (dummy driver, 256-frame periods):
#   restore  CPU time and wall time of the editor restoring 281 blocks that the
#            unit acknowledges at once, beside the build whose wait polls
#   backup   a 2 MiB memory image at several paces: blocks lost, file
#            identical, time from request to file against the unit's sending
#   startup  process start to the port dialog, Ok to the start-up frame on
#            the wire, resident memory with every window open
#   idle     CPU of a connected editor left alone for a minute (device watch
#            included), split into its GUI thread and the rest, and how often
#            the GUI thread woke
# usage: bench/measure.sh <build dir> [restore|backup|startup|idle]...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tests/e2e/lib.sh"

build=$(cd "$1" && pwd)
shift
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(restore backup startup idle)
simulator=$build/zandorium-sim
work=$build/measure

ensure_display "$0" "$build" "${parts[@]}"
e2e_begin xdotool jackd jack_wait xxd
start_own_jack_server 256
# Sessions come and go; the server stays until the script ends.
trap 'e2e_cleanup; kill $own_jack_pid; wait $own_jack_pid' EXIT

now_ms() { echo $(($(date +%s%N) / 1000000)); }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Times a thread gave up the processor to wait: each is followed by a wake-up.
waits() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/status"; }
readonly TICKS=$(getconf CLK_TCK)

# end_session: Exit, and everything the session started is ended.
end_session() {
    exit_front_panel "$panel" "$editor_pid"
    e2e_cleanup
    E2E_PIDS=()
    exec 7>&-
    rm -f "$work/sim.in"
}

measure_restore() {
    local binary=$1 label=$2 t0 c0 t1 c1 line
    editor=$binary
    rm -f "$work/memory.mem"
    start_session ZandoriumMeasure$$ --ack-delay 0
    backup_to memory
    restore_from memory.mem
    t0=$(now_ms)
    c0=$(cpu_ticks "$editor_pid")
    wait_for 120 grep -q '^restore complete' "$work/sim.err" || fail "the restore did not end"
    # The editor waits out the last block's 100 ms before it ends.
    sleep 0.2
    t1=$(now_ms)
    c1=$(cpu_ticks "$editor_pid")
    line=$(grep '^restore complete' "$work/sim.err")
    awk -v label="$label" -v line="$line" -v cpu=$((c1 - c0)) -v ticks="$TICKS" -v wall=$((t1 - t0)) 'BEGIN {
        split(line, w, " "); blocks = w[3]; span = w[8];
        ideal = (blocks - 1) * 100;
        printf "| %s | %d blocks | %.1f s CPU in %.1f s: %.1f %% of one core | first to last block %d ms, (blocks - 1) x 100 ms = %d ms: %+.2f %% |\n",
            label, blocks, cpu / ticks, wall / 1000, 100 * cpu / ticks / (wall / 1000), span, ideal, 100 * (span - ideal) / ideal }'
    restore_done
    end_session
}

measure_backup() {
    local rate=$1 t0 t1 blocks sent identical
    editor=$build/zandorium-editor
    rm -f "$work/big.mem"
    start_session ZandoriumMeasure$$ --dump-size $((15087 * 128)) --block-rate "$rate"
    start_backup big
    t0=$(now_ms)
    wait_for 120 test -f "$work/big.mem" || { wait_for 10 has_message "" || true; }
    t1=$(now_ms)
    sleep 0.5
    sent=$(sed -n 's/^backup sent: \([0-9]*\) blocks in \([0-9]*\) ms$/\1 \2/p' "$work/sim.err")
    grep -F -e "-> $(command_prefix 1E)" "$work/sim.out" | cut -c4- | xxd -r -p >"$work/sent.mem"
    blocks=0
    identical=no
    if [ -f "$work/big.mem" ]; then
        blocks=$(($(stat -c %s "$work/big.mem") / 139))
        cmp -s "$work/big.mem" "$work/sent.mem" && identical=yes
    fi
    echo "| $rate | ${sent% *} | $((${sent% *} - blocks)) | $identical | ${sent#* } ms | $((t1 - t0)) ms |" \
         "$(grep -o 'Message: .*' "$work/editor.err" | head -n 1) |"
    has_message "" && dismiss_message
    end_session
}

measure_startup() {
    local t0 t1 t2 t3 runs=5 i
    editor=$build/zandorium-editor
    for i in $(seq $runs); do
        start_simulator "$simulator" ZandoriumMeasure$$
        t0=$(now_ms)
        "$editor" >"$work/editor.out" 2>"$work/editor.err" &
        editor_pid=$!
        E2E_PIDS+=("$editor_pid")
        until has_window '^Dialog$'; do sleep 0.005; done
        t1=$(now_ms)
        choose_port ZandoriumMeasure$$
        t2=$(now_ms)
        until grep -q -F "<- $(frame 09 4D 00)" "$work/sim.out"; do sleep 0.002; done
        t3=$(now_ms)
        echo "| $i | $((t1 - t0)) ms | $((t3 - t2)) ms |"
        wait_for 10 no_window '^Dialog$' || true
        panel=$(window_of '^Zandorium Uploader$')
        end_session
    done
    start_session ZandoriumMeasure$$
    sim_command select
    wait_for 10 has_memory_dialog || fail "the memory dialog did not open"
    sleep 1
    echo "Every window open (front panel, editor, memory dialog): $(grep -E '^(VmRSS|VmHWM|RssAnon|RssFile|RssShmem)' "/proc/$editor_pid/status" | tr -s ' \t' ' ' | paste -s -d ';')"
    sim_command close 0
    sleep 0.5
    end_session
}

measure_idle() {
    local seconds=${IDLE_SECONDS:-60} c0 g0 w0 c1 g1 w1
    editor=$build/zandorium-editor
    start_session ZandoriumMeasure$$
    sleep 5
    c0=$(cpu_ticks "$editor_pid")
    g0=$(cpu_ticks "$editor_pid/task/$editor_pid")
    w0=$(waits "$editor_pid/task/$editor_pid")
    sleep "$seconds"
    c1=$(cpu_ticks "$editor_pid")
    g1=$(cpu_ticks "$editor_pid/task/$editor_pid")
    w1=$(waits "$editor_pid/task/$editor_pid")
    awk -v all=$((c1 - c0)) -v gui=$((g1 - g0)) -v wakes=$((w1 - w0)) -v ticks="$TICKS" -v s="$seconds" 'BEGIN {
        printf "| %d s | %.2f s CPU: %.2f %% of one core | GUI thread %.2f %%, woken %d times (%.2f/s) | other threads (JACK clients) %.2f %% |\n",
            s, all / ticks, 100 * all / ticks / s, 100 * gui / ticks / s, wakes, wakes / s, 100 * (all - gui) / ticks / s }'
    end_session
}

for part in "${parts[@]}"; do
    case $part in
    restore)
        echo "== Restore: $(nproc) cores"
        measure_restore "$build/zandorium-editor" "sleeping wait"
        measure_restore "$build/zandorium-editor-polling" "polling wait"
        ;;
    backup)
        echo "== Backup of a 2 MiB image: pace (blocks/ms) | blocks sent | lost | identical | unit's sending | request to file | message"
        for rate in ${BACKUP_PACES:-1 4 16 24 32}; do measure_backup "$rate"; done
        ;;
    startup)
        echo "== Start-up: run | start to port dialog | Ok to start-up frame"
        measure_startup
        ;;
    idle)
        echo "== Idle and connected, the editor window open"
        measure_idle
        ;;
    esac
done
