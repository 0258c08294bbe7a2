#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time on
# its committed seed corpus plus what it finds. A crash, a sanitizer report,
# a leak, a timeout or an allocation beyond the memory limit fails the run;
# the offending input is left in the build folder (crash-*, leak-*, ...).
#
#   tests/fuzz/run.sh [SECONDS_PER_TARGET]      (default: 60)
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-60}"
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DPICTURE_TOOLS_FUZZ=ON -DPICTURE_TOOLS_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for source in tests/fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    [ "$name" = fuzz_support ] || targets+=("$name")
done
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

for target in "${targets[@]}"; do
    corpus="tests/fuzz/corpus/${target#fuzz_}"
    found="$build/found-${target#fuzz_}"
    mkdir -p "$found"
    echo "== $target for $seconds s"
    # Inputs are at most 4 KiB, so no honest run needs more than a few MB:
    # the malloc limit catches any allocation trusted from a lying header.
    (cd "$build" && "./tests/fuzz/$target" -max_total_time="$seconds" -max_len=4096 \
        -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=64 -print_final_stats=1 \
        "../$found" "../$corpus" 2>&1 | grep -E '^(#[0-9]+ +DONE|Done|stat::number_of_executed_units|==[0-9]+==|SUMMARY)' )
done
