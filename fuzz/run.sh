#!/bin/sh
# Bounded fuzzing: run.sh <fuzz build folder> [seconds per target] [target ...]
# (every target when none is named: script devicelist onfi sfdp language
# settings simini serprog ch341a). Each runs on one core for the given time, from the
# corpus kept in fuzz/corpus/<target> plus the seeds; new inputs collect in
# <build>/fuzz-corpus/<target>. With NVP_FUZZ_KEEP=1 the grown corpus is
# minimised back into fuzz/corpus/<target> afterwards (the smallest set of
# inputs that keeps the coverage, so it stays small). A finding stops the run with a
# non-zero status and a <target>-crash-* file holding the input. With
# NVP_FUZZ_RUNS=N a target also stops after N executions, whichever comes
# first.
set -e
build=${1:?usage: run.sh <fuzz build folder> [seconds] [target ...]}
seconds=${2:-60}
shift 2 2>/dev/null || shift $#
targets=${*:-script devicelist onfi sfdp language settings simini serprog ch341a}
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)

seeds_of() {
    case $1 in
    script) echo "$src/fuzz/seeds/script" ;;
    devicelist)
        # One seed per device list line keeps the inputs small.
        mkdir -p "$build/fuzz-seeds/devicelist"
        for list in "$src"/data/config/*.txt; do
            split -l 1 -a 4 "$list" "$build/fuzz-seeds/devicelist/$(basename "$list" .txt)-"
        done
        echo "$build/fuzz-seeds/devicelist" ;;
    language) echo "$src/data/Languages" ;;
    # Inputs of earlier findings, kept whatever a merge decides.
    serprog) echo "$src/fuzz/seeds/serprog" ;;
    *) echo "" ;;
    esac
}

max_len_of() {
    case $1 in
    script) echo 4096 ;;
    devicelist) echo 2048 ;;
    onfi) echo 768 ;;
    sfdp) echo 4096 ;;
    serprog | ch341a) echo 8192 ;;
    *) echo 8192 ;;
    esac
}

cd "$build"
for t in $targets; do
    kept="$src/fuzz/corpus/$t"
    grown="$build/fuzz-corpus/$t"
    mkdir -p "$kept" "$grown"
    seeds=$(seeds_of "$t")
    [ -n "$seeds" ] && [ ! -d "$seeds" ] && seeds=""
    # The simulator reports every bad value on stderr, by design: muted.
    quiet=""
    [ "$t" = simini ] && quiet="-close_fd_mask=2"
    echo "== fuzz_$t for $seconds s"
    ./fuzz_$t $quiet -max_total_time="$seconds" -runs="${NVP_FUZZ_RUNS:--1}" -max_len="$(max_len_of "$t")" -print_final_stats=1 \
        -artifact_prefix="$t-" "$grown" "$kept" $seeds
    if [ "${NVP_FUZZ_KEEP:-0}" = 1 ]; then
        fresh="$build/fuzz-min/$t"
        rm -rf "$fresh" && mkdir -p "$fresh"
        ./fuzz_$t $quiet -set_cover_merge=1 -max_len="$(max_len_of "$t")" "$fresh" "$kept" "$grown" >/dev/null 2>&1
        rm -rf "$kept" && mv "$fresh" "$kept"
    fi
done
