#!/usr/bin/env bash
# Builds every libFuzzer target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, runs each for the given number of seconds and
# prints the runs and the coverage each reached. Corpora grow under
# build-fuzz/corpus/<target> and are reused by the next run.
#
#   scripts/fuzz.sh [seconds per target (default 60)] [target name filter]
#
# Exit status 1 when a target found a crash, a leak or a sanitizer report;
# the reproducer is kept beside its log under build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
filter=${2:-}
build=build-fuzz
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds == 0)); then
    echo "usage: $0 [seconds per target] [target name filter]" >&2
    exit 2
fi

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSONARO_FUZZ=ON -DSONARO_SANITIZE=ON -DSONARO_TESTS=OFF -DSONARO_BENCH=OFF "${launcher[@]}" >&2

mapfile -t targets < <(ninja -C "$build" -t targets all | sed -n 's/^\(fuzz_[a-z0-9_]*\): phony$/\1/p' |
    grep -- "$filter" | sort -u)
if ((${#targets[@]} == 0)); then
    echo "no fuzz targets match '$filter'" >&2
    exit 2
fi
cmake --build "$build" -j "${JOBS:-2}" --target "${targets[@]}" >&2

mkdir -p "$build/corpus" "$build/findings"
failed=0
printf '%-22s %12s %8s %8s %8s  %s\n' target runs cov ft corpus result
for target in "${targets[@]}"; do
    binary=$(find "$build/fuzz" -type f -name "$target" -perm -u+x | head -n 1)
    source_dir=fuzz/${binary#"$build"/fuzz/}
    source_dir=${source_dir%/*}
    corpus=$build/corpus/$target
    mkdir -p "$corpus"
    args=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/findings/$target-")
    for dict in "$source_dir"/*.dict; do
        [[ -f $dict ]] && args+=(-dict="$dict") && break
    done
    seeds=()
    [[ -d $source_dir/seeds ]] && seeds=("$source_dir/seeds")
    log=$build/findings/$target.log
    result=ok
    if ! "$binary" "${args[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
        result="FAILED (see $log)"
        failed=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    status=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$status")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$status")
    files=$(find "$corpus" -type f | wc -l)
    printf '%-22s %12s %8s %8s %8s  %s\n' "$target" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$files" "$result"
done
exit "$failed"
