# Sourced by test.sh: builds the libFuzzer targets with clang and runs each.
# shellcheck shell=bash

readonly FUZZ_TARGETS=(receive restorefile)

# run_fuzzers <seconds per target>: each target starts from its committed
# corpus; what it finds goes to build-fuzz/found/<target>, and an input that
# fails is kept in build-fuzz/failures/ to be added to fuzz/corpus/<target>.
run_fuzzers() {
    local seconds=$1 target status=0
    install_dependencies
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZANDORIUM_FUZZ=ON -DZANDORIUM_TOOLS=OFF -DZANDORIUM_WERROR=ON >/dev/null
    cmake --build build-fuzz -j "$(nproc)" --target "${FUZZ_TARGETS[@]/#/fuzz_}"
    mkdir -p build-fuzz/failures
    for target in "${FUZZ_TARGETS[@]}"; do
        mkdir -p "build-fuzz/found/$target"
        echo "== fuzz_$target for $seconds s"
        QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
            "build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="build-fuzz/failures/$target-" -print_final_stats=1 \
            "build-fuzz/found/$target" "fuzz/corpus/$target" 2>"build-fuzz/fuzz_$target.log" \
            || { status=1; tail -n 60 "build-fuzz/fuzz_$target.log"; }
        grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' "build-fuzz/fuzz_$target.log" || true
    done
    return $status
}
