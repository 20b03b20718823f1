#!/usr/bin/env bash
# Proves the tests catch faults: applies the mutants of scripts/mutants.txt one
# at a time to a copy of the tree, rebuilds only what each touches, runs the
# tests that could see it, and prints which tests killed it, or "survived".
# A tool for developers, not part of CI: about half a minute a mutant.
#   scripts/mutants.sh [pattern]   only the mutants whose line contains pattern
#   scripts/mutants.sh 52-74       only the mutants of those numbers
#   scripts/mutants.sh --check     only checks that every mutant applies
# MUTANTS_DIR (default /tmp/zandorium-mutants) holds the copy and its build;
# the report goes to standard output and to $MUTANTS_DIR/report.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

root=$PWD
list=$root/scripts/mutants.txt
work=${MUTANTS_DIR:-/tmp/zandorium-mutants}
pattern=${1:-}
src=$work/src
build=$work/build

# applies <file> <text> <replacement>: the text, which must stand exactly once
# in the file ("\n" for a line break), replaced there.
applies() {
    python3 -c '
import sys
path, original, replacement = (a.replace("\\n", "\n") for a in sys.argv[1:])
text = open(path).read()
if text.count(original) != 1:
    sys.exit("%s: %r stands %d times" % (path, original, text.count(original)))
open(path, "w").write(text.replace(original, replacement))
' "$@"
}

if [ "$pattern" = --check ]; then
    status=0
    scratch=$(mktemp)
    while IFS=$'\t' read -r -u 3 file original replacement _; do
        [[ -z $file || $file == \#* ]] && continue
        cp "$file" "$scratch"
        applies "$scratch" "$original" "$replacement" || status=1
    done 3<"$list"
    rm -f "$scratch"
    exit $status
fi

install_dependencies
mkdir -p "$work"
# A clean copy of what git tracks: uncommitted work and build folders stay out.
rm -rf "$src"
mkdir -p "$src"
git ls-files -z | xargs -0 cp --parents -t "$src"
# Unoptimised: most of the time goes to rebuilding what a mutant touches.
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE= >/dev/null
cmake --build "$build" -j "$(nproc)" >"$work/build.log" 2>&1 || { tail -30 "$work/build.log"; exit 1; }

trap stop_midi_system EXIT
start_midi_system "$work/jackd.log"
export ZANDORIUM_REQUIRE_MIDI=1

# The tests that can see a file, by its folder; a mutant's fourth field, a
# CTest name pattern, overrides it.
tests_for() {
    case $1 in
    protocol/*) echo 'tst_protocol|tst_decoder|tst_trace|tst_simulator|fuzz_' ;;
    midi/*) echo 'tst_trace|tst_portmatching|tst_delay|tst_connection|tst_midiselection' ;;
    core/*) echo 'tst_backup|tst_decoder|tst_editwindow$|tst_memoryselect$' ;;
    backup/*) echo 'tst_memoryfile|tst_backup|tst_version|fuzz_' ;;
    ui/*) echo 'tst_mainwindow$|tst_editwindow$|tst_memoryselect$|tst_midiselection$' ;;
    simulator/*) echo 'tst_simulator|tst_memoryfile|tst_backup' ;;
    *) echo 'tst_' ;;
    esac
}

# The executables of the tests a pattern names: only those are relinked.
targets_of() {
    ctest --test-dir "$build" -N -R "$1" --show-only=json-v1 | python3 -c '
import json, os, sys
print(" ".join(sorted({os.path.basename(t["command"][0]) for t in json.load(sys.stdin)["tests"]})))'
}

report=$work/report.txt
: >"$report"
killed=0
survived=0
started=$(date +%s)
number=0
while IFS=$'\t' read -r -u 3 file original replacement tests; do
    [[ -z $file || $file == \#* ]] && continue
    number=$((number + 1))
    line="$file: $original -> $replacement"
    if [[ $pattern =~ ^([0-9]+)-([0-9]+)$ ]]; then
        ((number >= BASH_REMATCH[1] && number <= BASH_REMATCH[2])) || continue
    elif [[ -n $pattern && $line != *"$pattern"* ]]; then
        continue
    fi
    tests=${tests:-$(tests_for "$file")}
    cp "$src/$file" "$work/original"
    if ! applies "$src/$file" "$original" "$replacement"; then
        echo "#$number $line: NOT APPLIED" | tee -a "$report"
        continue
    fi
    targets=$(targets_of "$tests")
    if [ -z "$targets" ]; then
        result="NO TEST MATCHES $tests"
    elif ! cmake --build "$build" -j "$(nproc)" --target $targets >"$work/mutant-build.log" 2>&1; then
        # A mutant is a fault that compiles; this one is a mistake in the list.
        result="DOES NOT BUILD"
    else
        failed=$({ ctest --test-dir "$build" -R "$tests" --timeout 120 2>&1 || true; } \
            | sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p' | sort -u | tr '\n' ' ')
        result=${failed:+killed by $failed}
        result=${result:-survived}
    fi
    case $result in
    survived) survived=$((survived + 1)) ;;
    killed*) killed=$((killed + 1)) ;;
    esac
    echo "#$number $line: $result" | tee -a "$report"
    cp "$work/original" "$src/$file"
    touch "$src/$file"
done 3<"$list"
# The tree as it was, for the next run.
cmake --build "$build" -j "$(nproc)" >/dev/null 2>&1 || true
echo "killed $killed, survived $survived, in $(($(date +%s) - started)) s" | tee -a "$report"
