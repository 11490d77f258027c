#!/bin/sh
# Bounded fuzzing of both readers: run.sh <fuzz build folder> [seconds per target]
# New inputs collect in <build>/fuzz-corpus/; the bundled scripts and device
# lists are the seeds. A finding stops the run with a non-zero status and a
# crash-* file holding the input.
set -e
build=${1:?usage: run.sh <fuzz build folder> [seconds]}
seconds=${2:-60}
src=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build/fuzz-corpus/script" "$build/fuzz-corpus/devicelist" "$build/fuzz-seeds/devicelist"
# One seed per device list line keeps the inputs small.
for list in "$src"/data/config/*.txt; do
    split -l 1 -a 4 "$list" "$build/fuzz-seeds/devicelist/$(basename "$list" .txt)-"
done
cd "$build"
./fuzz_script -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix=script- fuzz-corpus/script "$src/fuzz/seeds/script"
./fuzz_devicelist -max_total_time="$seconds" -max_len=2048 -print_final_stats=1 \
    -artifact_prefix=devicelist- fuzz-corpus/devicelist fuzz-seeds/devicelist
