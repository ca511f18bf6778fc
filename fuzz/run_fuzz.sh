#!/bin/sh
# Builds the line-reader fuzzer with clang and runs it for a while (default 60 s).
# Usage: fuzz/run_fuzz.sh [SECONDS] [BUILD_DIR]
set -e
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-60}
build=${2:-"$here/../build-fuzz"}
cmake -S "$here/.." -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DZARVEL_BUILD_FUZZ=ON \
  -DZARVEL_BUILD_APP=OFF -DZARVEL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZARVEL_FUZZ_SECONDS="$seconds"
cmake --build "$build" -j2 --target fuzz_linereader
cmake --build "$build" --target fuzz_linereader_run
