#!/bin/sh
# Builds the fuzzers with clang and runs each for a while: the line reader, then the
# whole drawing path (read, draw, export). Default 30 s each.
# Usage: fuzz/run_fuzz.sh [SECONDS_EACH] [BUILD_DIR]
set -e
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-30}
build=${2:-"$here/../build-fuzz"}
cmake -S "$here/.." -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DZARVEL_BUILD_FUZZ=ON \
  -DZARVEL_BUILD_APP=OFF -DZARVEL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZARVEL_FUZZ_SECONDS="$seconds"
cmake --build "$build" -j2 --target fuzz_linereader fuzz_drawmodel
cmake --build "$build" --target fuzz_linereader_run
cmake --build "$build" --target fuzz_drawmodel_run
