#!/usr/bin/env bash
# run-in-alsa-vm.sh CMD [ARG...]
#
# Runs CMD inside a small qemu-system-x86_64 guest (TCG, no KVM needed) that
# boots Debian 12's generic kernel with the ALSA sequencer loaded, so that
# /dev/snd/seq exists there. The guest's root is the host's root, shared
# read-only over 9p with a tmpfs overlay on top (writes are allowed and are
# lost at the end), so every host program and library is there as it is.
# CMD runs as root in the host's current directory, with a clean environment
# (use `env VAR=value CMD...` to set more) and no standard input; its standard
# output and error come back on ours while it runs, and its exit status is
# ours (124: timed out, 125: the guest did not run it).
#
# Environment:
#   ALSAVM_SMP=2             virtual CPUs (TCG threads)
#   ALSAVM_MEM=2G            guest memory
#   ALSAVM_MODULES="snd-seq snd-hrtimer snd-seq-dummy"
#                            modules loaded before CMD (add snd-virmidi, ...)
#   ALSAVM_SHARES=DIR...     host folders mounted read-write at the same path
#                            (default: none)
#   ALSAVM_STATE=build-alsavm the kernel, initramfs and run folders
#   ALSAVM_TIMEOUT=1800      seconds before the guest is killed
#   ALSAVM_CPU=max           qemu -cpu model
#   ALSAVM_9P_OPTS=security_model=passthrough,multidevs=remap
#                            9p options of the ALSAVM_SHARES; passthrough keeps
#                            the host's owners and modes, but FIFOs and sockets
#                            cannot be made there (ENXIO): make those in the
#                            guest's /tmp or /run, or use security_model=mapped-xattr
#   ALSAVM_TIMING=1          print the boot and command times on stderr
#   ALSAVM_VERBOSE=1         print the guest's console log on stderr at the end
#   ALSAVM_KEEP=1            keep the run folder (console log, stdout, ...)
# `run-in-alsa-vm.sh --setup` only installs and prepares (done on first use).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Its kernel, initramfs and run folders, out of the source tree.
STATE=${ALSAVM_STATE:-$(cd "$HERE/../.." && pwd)/build-alsavm}
VM=$STATE/vm
SMP=${ALSAVM_SMP:-2}
MEM=${ALSAVM_MEM:-2G}
MODULES=${ALSAVM_MODULES:-snd-seq snd-hrtimer snd-seq-dummy}
SHARES=${ALSAVM_SHARES:-}
TIMEOUT=${ALSAVM_TIMEOUT:-1800}
CPU=${ALSAVM_CPU:-max}
HOST_PACKAGES=(qemu-system-x86 busybox-static kmod cpio alsa-utils)
INITRD_MODULES=(virtio_pci 9pnet_virtio 9p overlay)

note() { echo "alsavm: $*" >&2; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

setup() {
    local missing=() p
    [ -f "$VM/.packages" ] && [ "$(cat "$VM/.packages")" = "${HOST_PACKAGES[*]}" ] || for p in "${HOST_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        note "installing ${missing[*]}"
        as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
    mkdir -p "$VM"
    echo "${HOST_PACKAGES[*]}" >"$VM/.packages"
    if ! ls "$VM"/kernel/boot/vmlinuz-* >/dev/null 2>&1; then
        # The generic kernel: linux-image-cloud-amd64 has neither sound nor 9p.
        # Unpacked here, not installed: the host's /boot stays as it is.
        local pkg
        pkg=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
        [ -n "$pkg" ] || { as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq;
            pkg=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}'); }
        note "unpacking $pkg"
        rm -rf "$VM/debs" "$VM/kernel"
        mkdir -p "$VM/debs" "$VM/kernel"
        (cd "$VM/debs" && apt-get download -q "$pkg" >/dev/null)
        dpkg -x "$VM"/debs/"$pkg"_*.deb "$VM/kernel"
        rm -rf "$VM/debs"
    fi
    KVER=$(basename "$(ls -d "$VM"/kernel/lib/modules/*/ | head -1)")
    local mdir=$VM/kernel/lib/modules/$KVER
    [ -f "$mdir/modules.dep" ] || depmod -b "$VM/kernel" "$KVER"
    if [ ! -f "$VM/vmlinux" ]; then
        # Unpacked once here: the guest's own XZ decompression costs seconds
        # under TCG, and qemu boots the ELF through its PVH entry point.
        python3 - "$VM/kernel/boot/vmlinuz-$KVER" "$VM/vmlinux.new" <<'EOF'
import lzma, sys
data = open(sys.argv[1], 'rb').read()
start = data.find(b'\xfd7zXZ\x00')
elf = lzma.LZMADecompressor(format=lzma.FORMAT_XZ).decompress(data[start:])
assert elf[:4] == b'\x7fELF'
open(sys.argv[2], 'wb').write(elf)
EOF
        mv "$VM/vmlinux.new" "$VM/vmlinux"
    fi
    if [ ! -f "$VM/initrd.cpio" ] || [ "$HERE/guest-init.sh" -nt "$VM/initrd.cpio" ]; then
        note "building the initramfs"
        local root
        root=$(mktemp -d "$VM/initrd.XXXXXX")
        mkdir -p "$root"/{bin,dev,proc,sys,modules}
        cp /bin/busybox "$root/bin/busybox"
        cp "$HERE/guest-init.sh" "$root/init"
        chmod 755 "$root/init"
        : >"$root/modules.list"
        local line path name
        while read -r line; do
            path=${line#insmod }; path=${path%% *}
            name=$(basename "$path")
            grep -qx "$name" "$root/modules.list" && continue
            cp "$path" "$root/modules/$name"
            echo "$name" >>"$root/modules.list"
        done < <(for m in "${INITRD_MODULES[@]}"; do
                     modprobe -d "$VM/kernel" -S "$KVER" --show-depends "$m"; done | grep '^insmod ')
        (cd "$root" && find . | cpio -o -H newc --quiet) >"$VM/initrd.cpio.new"
        mv "$VM/initrd.cpio.new" "$VM/initrd.cpio"
        rm -rf "$root"
    fi
}

if [ "${1:-}" = --setup ]; then setup; exit 0; fi
if [ $# -eq 0 ]; then
    echo "usage: run-in-alsa-vm.sh CMD [ARG...] | --setup" >&2
    exit 2
fi
setup
KVER=$(basename "$(ls -d "$VM"/kernel/lib/modules/*/ | head -1)")

mkdir -p "$STATE/runs"
for s in $SHARES; do mkdir -p "$s"; done
RUN=$(mktemp -d "$STATE/runs/run.XXXXXX")
QEMU_PID=
TAIL_PIDS=()
cleanup() {
    [ -n "$QEMU_PID" ] && kill "$QEMU_PID" 2>/dev/null || true
    for p in "${TAIL_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    if [ "${ALSAVM_KEEP:-0}" = 1 ]; then note "run folder kept: $RUN"; else rm -rf "$RUN"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The command, run by bash in the guest, in our current directory.
{
    printf 'cd %q || exit 125\n' "$PWD"
    printf 'exec'
    printf ' %q' "$@"
    printf '\n'
} >"$RUN/cmd.sh"
{
    printf 'ALSAVM_MODULES=%q\n' "$MODULES"
    printf 'ALSAVM_SHARES=%q\n' "$SHARES"
    printf 'ALSAVM_MODULE_DIR=%q\n' "$VM/kernel/lib/modules/$KVER"
    printf 'ALSAVM_TMPFS_SIZE=%q\n' "75%"
} >"$RUN/guest.conf"
: >"$RUN/stdout"
: >"$RUN/stderr"

args=(
    -nodefaults -no-user-config -nographic -monitor none -no-reboot
    -machine pc -accel tcg -cpu "$CPU" -smp "$SMP" -m "$MEM"
    -bios /usr/share/qemu/qboot.rom
    -kernel "$VM/vmlinux" -initrd "$VM/initrd.cpio"
    -append "console=ttyS0 quiet panic=-1 mitigations=off tsc=reliable no_timer_check rdinit=/init"
    -serial "file:$RUN/console.log"
    -nic none
    -virtfs "local,path=/,mount_tag=hostroot,security_model=passthrough,readonly=on,multidevs=remap"
    -virtfs "local,path=$RUN,mount_tag=alsavmrun,security_model=passthrough,multidevs=remap"
)
i=0
for s in $SHARES; do
    args+=(-virtfs "local,path=$s,mount_tag=share$i,${ALSAVM_9P_OPTS:-security_model=passthrough,multidevs=remap}")
    i=$((i + 1))
done

t0=$(date +%s.%N)
timeout -k 5 "$TIMEOUT" qemu-system-x86_64 "${args[@]}" </dev/null >"$RUN/qemu.log" 2>&1 &
QEMU_PID=$!
tail -f -c +1 --pid="$QEMU_PID" "$RUN/stdout" &
TAIL_PIDS+=($!)
tail -f -c +1 --pid="$QEMU_PID" "$RUN/stderr" >&2 &
TAIL_PIDS+=($!)
qemu_rc=0
wait "$QEMU_PID" || qemu_rc=$?
QEMU_PID=
t1=$(date +%s.%N)
for p in "${TAIL_PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
TAIL_PIDS=()

if [ "${ALSAVM_VERBOSE:-0}" = 1 ]; then
    note "guest console:"; sed 's/^/  | /' "$RUN/console.log" >&2
fi
if [ "${ALSAVM_TIMING:-0}" = 1 ] && [ -f "$RUN/started" ]; then
    ts=$(stat -c %.9Y "$RUN/started")
    te=$(stat -c %.9Y "$RUN/rc" 2>/dev/null || echo "$t1")
    awk -v a="$t0" -v b="$ts" -v c="$te" -v d="$t1" 'BEGIN {
        printf "alsavm: boot to command %.1f s, command %.1f s, power-off %.1f s, total %.1f s\n",
               b - a, c - b, d - c, d - a }' >&2
fi
if [ "$qemu_rc" = 124 ] || [ "$qemu_rc" = 137 ]; then
    note "timed out after $TIMEOUT s"
    exit 124
fi
if [ ! -s "$RUN/rc" ]; then
    note "the guest did not run the command (qemu status $qemu_rc); its console and qemu's messages:"
    sed 's/^/  | /' "$RUN/console.log" "$RUN/qemu.log" >&2
    exit 125
fi
exit "$(cat "$RUN/rc")"
