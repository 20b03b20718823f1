#!/usr/bin/env bash
# Installs, builds and starts the editor.
#   scripts/demo.sh              on this display (a JACK server is started when
#                                the machine has no MIDI system)
#   scripts/demo.sh --headless   under a virtual X server: saves a screenshot of
#                                the front panel behind the port dialog to
#                                build/demo/port-dialog.png, then presses Cancel
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

headless=0
case "${1:-}" in
    "") [ -n "${DISPLAY:-}" ] || headless=1 ;;
    --headless) headless=1 ;;
    *) echo "usage: scripts/demo.sh [--headless]" >&2; exit 2 ;;
esac

install_dependencies
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target zandorium-editor

if [ $headless = 1 ] && [ "${ZANDORIUM_DEMO_IN_X:-0}" != 1 ]; then
    ZANDORIUM_DEMO_IN_X=1 exec xvfb-run -a -s "-screen 0 1400x900x24" "$0" --headless
fi

mkdir -p build/demo
trap stop_midi_system EXIT
start_midi_system build/demo/jackd.log

if [ $headless = 0 ]; then
    ./build/zandorium-editor
    exit 0
fi

./build/zandorium-editor >build/demo/trace.txt 2>build/demo/stderr.txt &
editor=$!
for _ in $(seq 100); do
    dialog=$(xdotool search --onlyvisible --name '^Dialog$' 2>/dev/null | head -n 1 || true)
    [ -n "$dialog" ] && break
    sleep 0.1
done
[ -n "$dialog" ] || { echo "The port dialog did not appear" >&2; kill $editor; exit 1; }
sleep 1
import -window root build/demo/port-dialog.png
echo "Screenshot: build/demo/port-dialog.png"
xdotool mousemove --window "$dialog" 67 211 click 1
status=0
wait $editor || status=$?
echo "Cancel pressed; the editor ended with status $status"
exit $status
