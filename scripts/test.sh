#!/usr/bin/env bash
# Installs what is missing, runs the two fuzzers (line reader, whole drawing path) for
# half a minute each, then builds the Release and the ASan+UBSan configurations and runs
# every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== format"
bash scripts/check-format.sh

echo "== fuzz: line reader and drawing path, 30 s each"
mkdir -p build
if ! sh fuzz/run_fuzz.sh 30 build/fuzz > build/fuzz.log 2>&1; then
  tail -n 60 build/fuzz.log
  echo "fuzzing failed: see build/fuzz.log" >&2
  exit 1
fi
grep -E '^Done [0-9]+ runs' build/fuzz.log || true

for config in release asan; do
  echo "== $config: build"
  dir=$(bash scripts/build.sh "$config" | tail -n 1)
  echo "== $config: test"
  (cd "$dir" && ctest --output-on-failure -j "$(nproc)")
done
