#!/usr/bin/env bash
# Proves the tests catch faults: applies the mutants of scripts/mutants.txt one
# at a time to a copy of the tree, rebuilds only what each touches, runs the
# tests that could see it, and prints which tests killed it, or "survived".
# A tool for developers, not part of CI: about half a minute a mutant.
#   scripts/mutants.sh [pattern]   only the mutants whose list line contains pattern
#   scripts/mutants.sh 52-74       only the mutants of those numbers
#   scripts/mutants.sh --check     only checks that every mutant applies
# MUTANTS_DIR (default /tmp/zandorium-mutants) holds the copy and its build;
# the report goes to standard output and is added to $MUTANTS_DIR/report.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

root=$PWD
list=scripts/mutants.txt
work=${MUTANTS_DIR:-/tmp/zandorium-mutants}
choice=${1:-}
src=$work/src
build=$work/build

usage() {
    sed -n 's/^#   //p' "$root/scripts/mutants.sh" >&2
    exit 2
}

# The chosen mutants, one a line: number, list line, file, text, replacement
# and tests, split by \x1f so that an empty field stays a field. A malformed
# line is said and fails the whole choice.
chosen() {
    python3 -c '
import re, sys
path, choice = sys.argv[1:]
number, bad = 0, False
span = re.fullmatch(r"(\d+)-(\d+)", choice)
for at, line in enumerate(open(path, newline=""), 1):
    line = line.rstrip("\n")
    if not line.strip() or line.lstrip().startswith("#"):
        continue
    number += 1
    fields = line.split("\t")
    if line.endswith("\r") or len(fields) not in (3, 4) or not all(fields[:2]):
        print("%s:%d: not file, text, replacement [, tests] apart by tabs" % (path, at), file=sys.stderr)
        bad = True
    elif (int(span[1]) <= number <= int(span[2])) if span else choice in line:
        print("\x1f".join([str(number), str(at)] + fields + [""] * (4 - len(fields))))
sys.exit(bad)
' "$list" "$1"
}

# applies <file> <text> <replacement>: the text, which must stand exactly once
# in the file ("\n" for a line break), replaced there.
applies() {
    python3 -c '
import sys
path, original, replacement = (a.replace("\\n", "\n") for a in sys.argv[1:])
text = open(path).read()
if text.count(original) != 1:
    sys.exit("%r stands %d times" % (original, text.count(original)))
open(path, "w").write(text.replace(original, replacement))
' "$@"
}

[[ $choice == -* && $choice != --check ]] && usage
status=0
selection=$(chosen "$([ "$choice" = --check ] || echo "$choice")") || status=1
[ "$status" = 0 ] || [ "$choice" = --check ] || exit 1
[ -n "$selection" ] || { echo "No mutant is chosen by \"$choice\"." >&2; usage; }

if [ "$choice" = --check ]; then
    scratch=$(mktemp)
    trap 'rm -f "$scratch"' EXIT
    while IFS=$'\x1f' read -r number at file original replacement _; do
        where="$list:$at (#$number, $file)"
        message="cannot be copied"
        if [ ! -f "$file" ]; then
            echo "$where: no such file" >&2
            status=1
        elif ! cp "$file" "$scratch" || ! message=$(applies "$scratch" "$original" "$replacement" 2>&1); then
            echo "$where: $message" >&2
            status=1
        fi
    done <<<"$selection"
    exit $status
fi

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

# The executables of the tests a pattern names: only those are relinked. A
# test run by a script (e2e) needs the programs, so everything is built.
targets_of() {
    ctest --test-dir "$build" -N -R "$1" --show-only=json-v1 | python3 -c '
import json, os, sys
build = os.path.realpath(sys.argv[1])
commands = [t["command"][0] for t in json.load(sys.stdin)["tests"]]
inside = all(os.path.realpath(c).startswith(build + os.sep) for c in commands)
print(" ".join(sorted({os.path.basename(c) for c in commands})) if inside else "all")' "$build"
}

# The failed tests of a CTest run of the pattern, apart by spaces.
failing() {
    { ctest --test-dir "$build" -R "$1" --timeout 120 2>&1 || true; } \
        | sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p' | sort -u | paste -s -d ' ' -
}

install_dependencies
mkdir -p "$work"
# What git tracks, as the working tree has it (uncommitted edits included);
# build folders stay out. Every run copies and builds afresh.
rm -rf "$src"
mkdir -p "$src"
git ls-files -z | xargs -0 cp --parents -t "$src"
# Unoptimised: most of the time goes to rebuilding what a mutant touches.
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE= >/dev/null
cmake --build "$build" -j "$(nproc)" >"$work/build.log" 2>&1 || { tail -30 "$work/build.log"; exit 1; }

# An interrupted mutant is taken back out of the copy.
mutated=
trap '[ -z "$mutated" ] || cp "$work/original" "$src/$mutated"; stop_midi_system' EXIT
trap 'exit 130' INT TERM
start_midi_system "$work/jackd.log"
export ZANDORIUM_REQUIRE_MIDI=1

# A test that fails without any mutant would "kill" every one.
all_tests=$(while IFS=$'\x1f' read -r _ _ file _ _ tests; do echo "${tests:-$(tests_for "$file")}"; done \
    <<<"$selection" | sort -u | paste -s -d '|' -)
broken=$(failing "$all_tests")
[ -z "$broken" ] || { echo "These tests fail without any mutant: $broken" >&2; exit 1; }

report=$work/report.txt
echo "== $(date '+%F %T') scripts/mutants.sh $choice" >>"$report"
killed=0
survived=0
unrun=0
started=$(date +%s)
while IFS=$'\x1f' read -r number _ file original replacement tests; do
    line="$file: $original -> $replacement"
    tests=${tests:-$(tests_for "$file")}
    if [ ! -f "$src/$file" ]; then
        result="NO SUCH FILE"
    elif ! cp "$src/$file" "$work/original" || ! applies "$src/$file" "$original" "$replacement"; then
        result="NOT APPLIED"
    else
        mutated=$file
        targets=$(targets_of "$tests")
        if [ -z "$targets" ]; then
            result="NO TEST MATCHES $tests"
        elif ! cmake --build "$build" -j "$(nproc)" --target $targets >"$work/mutant-build.log" 2>&1; then
            # A mutant is a fault that compiles; this one is a mistake in the list.
            result="DOES NOT BUILD: $(grep -m 1 'error' "$work/mutant-build.log" || true)"
        else
            failed=$(failing "$tests")
            result=${failed:+killed by $failed}
            result=${result:-survived}
        fi
        cp "$work/original" "$src/$file"
        touch "$src/$file"
        mutated=
    fi
    case $result in
    survived) survived=$((survived + 1)) ;;
    killed*) killed=$((killed + 1)) ;;
    *) unrun=$((unrun + 1)) ;;
    esac
    echo "#$number $line: $result" | tee -a "$report"
done <<<"$selection"
# The tree as it was, for the next run.
cmake --build "$build" -j "$(nproc)" >/dev/null 2>&1 || true
echo "killed $killed, survived $survived, not run $unrun, in $(($(date +%s) - started)) s" | tee -a "$report"
[ "$unrun" -eq 0 ]
