#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets and runs each for a fixed time on its seed corpus, after replaying
# the seeds and every kept regression input. Fails when any target finds anything.
#
#   fuzz/run.sh SECONDS [TARGET...]     targets: command_loop position parsing (default: all)
#
# Needs clang++-14 with its runtime (Debian: clang-14 libclang-rt-14-dev). Environment:
#   FUZZ_CXX     the compiler (default clang++-14)
#   FUZZ_BUILD   the build directory (default build/fuzz)
#   JOBS         build jobs (default 2)
# New inputs found while fuzzing go to $FUZZ_BUILD/work/TARGET, never into the repository's
# seed corpus; a finding is written to $FUZZ_BUILD/findings/TARGET/. Once its cause is fixed,
# keep it in fuzz/regressions/TARGET/ so that every run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
    echo "usage: fuzz/run.sh SECONDS [TARGET...]" >&2
    exit 2
fi
seconds=$1
shift
targets=("$@")
((${#targets[@]})) || targets=(command_loop position parsing)

cxx=${FUZZ_CXX:-clang++-14}
build=${FUZZ_BUILD:-build/fuzz}
if ! command -v "$cxx" >/dev/null; then
    echo "*** $cxx not found: the fuzz targets need clang-14 and libclang-rt-14-dev" >&2
    exit 1
fi

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$build" -j"${JOBS:-2}"

# Larger inputs only where the target needs room: whole sessions for the command loop.
declare -A maxLength=([command_loop]=8192 [position]=512 [parsing]=2048)

# Reports with file names and lines, where the symbolizer is installed (Debian: llvm-14).
if [ -z "${ASAN_SYMBOLIZER_PATH-}" ] && command -v llvm-symbolizer-14 >/dev/null; then
    export ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer-14)
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

failed=()
summary=""
for target in "${targets[@]}"; do
    fuzzer=$build/${target}_fuzzer
    if [ ! -x "$fuzzer" ]; then
        echo "*** no fuzz target named $target" >&2
        exit 2
    fi
    seeds=fuzz/corpus/$target
    work=$build/work/$target
    findings=$build/findings/$target
    mkdir -p "$work" "$findings"

    # 1. Every kept input, one by one: the seeds and the regressions of earlier findings.
    mapfile -t kept < <(find "$seeds" fuzz/regressions/"$target" -type f ! -name '.*' 2>/dev/null | sort)
    echo "=== $target: replaying ${#kept[@]} kept inputs"
    if ((${#kept[@]})) && ! "$fuzzer" -artifact_prefix="$findings/" "${kept[@]}" >"$build/$target.replay.log" 2>&1; then
        tail -n 40 "$build/$target.replay.log"
        echo "*** $target: a kept input fails (log: $build/$target.replay.log)"
        failed+=("$target")
        continue
    fi

    # 2. Fuzzing for the given time, starting from the seeds and what earlier runs found.
    echo "=== $target: fuzzing for $seconds s"
    log=$build/$target.fuzz.log
    status=0
    "$fuzzer" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len="${maxLength[$target]}" \
        -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$seeds" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    summary+="  $target: ${runs:-?} executions in $seconds s, exit $status\n"
    if [ "$status" -ne 0 ]; then
        grep -E 'ERROR|fuzz check failed|runtime error|Test unit written' "$log" | head -n 10 || true
        echo "*** $target: finding in $findings (log: $log)"
        failed+=("$target")
    fi
done

echo "=== fuzz summary"
printf "$summary"
if ((${#failed[@]})); then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "no findings"
