#!/usr/bin/env bash
# Configures and builds one configuration: scripts/build.sh release|asan [extra cmake args]
set -euo pipefail
cd "$(dirname "$0")/.."

config=${1:-release}
shift || true
case "$config" in
  release) dir=build/release; args=(-DCMAKE_BUILD_TYPE=Release) ;;
  asan)    dir=build/asan; args=(-DCMAKE_BUILD_TYPE=Debug -DZARVEL_SANITIZE=ON -DZARVEL_BUILD_BENCH=OFF) ;;
  *) echo "usage: $0 release|asan" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" "${args[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
echo "$dir"
