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

if [ -f scripts/fuzz.sh ]; then
  echo "== fuzz"
  bash scripts/fuzz.sh 60
fi
