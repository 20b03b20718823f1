# Shared by test.sh and demo.sh: installing what the build and the MIDI system
# need on Debian 12, and a MIDI system to talk through.
# shellcheck shell=bash

readonly ZANDORIUM_PACKAGES=(
    g++ make cmake pkg-config
    qtbase5-dev qtbase5-dev-tools librtmidi-dev libjack-jackd2-dev libasound2-dev
    jackd2
    xvfb xauth xdotool xclip imagemagick x11-xserver-utils
    dpkg-dev appstream desktop-file-utils
    fonts-dejavu-core fonts-crosextra-carlito
    libbenchmark-dev
)
readonly ZANDORIUM_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
readonly ZANDORIUM_QT6_PACKAGES=(qt6-base-dev)

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# install_dependencies [package...]: the build's packages, or those given.
install_dependencies() {
    local missing=() wanted=("$@")
    [ ${#wanted[@]} -gt 0 ] || wanted=("${ZANDORIUM_PACKAGES[@]}")
    for package in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Leaves a MIDI system running: the ALSA sequencer where the machine has one,
# else a JACK server with the dummy driver started here under a name of its
# own (JACK_DEFAULT_SERVER, exported), so that nothing runs on a server of the
# user's. Sets STARTED_JACK_PID when it started one.
STARTED_JACK_PID=
start_midi_system() {
    if [ -c /dev/snd/seq ] && [ -r /dev/snd/seq ]; then return 0; fi
    # One name a script, for the reason given in tests/e2e/lib.sh.
    export JACK_DEFAULT_SERVER=zandorium-$(basename "$0" .sh)
    # Realtime where the machine allows it, as a desktop runs it.
    local realtime=--no-realtime
    chrt -f 1 true 2>/dev/null && realtime=--realtime
    jackd "$realtime" -d dummy -r 48000 -p 256 >"${1:-/dev/null}" 2>&1 &
    STARTED_JACK_PID=$!
    if ! jack_wait -w -t 15 >/dev/null 2>&1; then
        echo "The JACK server did not start" >&2
        return 1
    fi
}

stop_midi_system() {
    [ -n "$STARTED_JACK_PID" ] || return 0
    kill "$STARTED_JACK_PID" 2>/dev/null || true
    wait "$STARTED_JACK_PID" 2>/dev/null || true
    STARTED_JACK_PID=
}
