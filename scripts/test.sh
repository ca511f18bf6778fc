#!/usr/bin/env bash
# Installs what is missing, builds the Release and the ASan+UBSan configurations, and
# runs every test in both; then runs the line-reader fuzzer briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for config in release asan; do
  echo "== $config: build"
  dir=$(bash scripts/build.sh "$config" | tail -n 1)
  echo "== $config: test"
  (cd "$dir" && ctest --output-on-failure -j "$(nproc)")
done

echo "== fuzz: line reader, 60 s"
sh fuzz/run_fuzz.sh 60 build/fuzz >/dev/null
