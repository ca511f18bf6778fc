#!/bin/sh
# Builds the fuzzers with clang and runs each for a while: the line reader, the whole
# drawing path (read, draw, export), then the number reader's fast forms against the
# general parser. Default 30 s each (the number fuzzer a third of that).
# Usage: fuzz/run_fuzz.sh [SECONDS_EACH] [BUILD_DIR]
set -e
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-30}
build=${2:-"$here/../build-fuzz"}
cmake -S "$here/.." -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DZARVEL_BUILD_FUZZ=ON \
  -DZARVEL_BUILD_APP=OFF -DZARVEL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZARVEL_FUZZ_SECONDS="$seconds"
cmake --build "$build" -j2 --target fuzz_linereader fuzz_drawmodel fuzz_numbers
cmake --build "$build" --target fuzz_linereader_run
cmake --build "$build" --target fuzz_drawmodel_run
mkdir -p "$build/corpus-numbers"
"$build/fuzz/fuzz_numbers" -max_total_time=$((seconds / 3 + 1)) -max_len=256 \
  -dict="$here/numbers.dict" "$build/corpus-numbers" "$here/corpus"
