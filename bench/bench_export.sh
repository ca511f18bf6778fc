#!/usr/bin/env bash
# The export of a big model against LeoCAD's OBJ export, whole processes, in one run:
#
#   bench/bench_export.sh [ZARVEL_CLI] [MODEL] [RUNS]
#
# Defaults: build/release/cli/zarvel-cli, the Millennium Falcon of ../shared/ldraw, 5 runs
# of zarvel-cli (LeoCAD's export takes long: it runs twice, the first run also building
# its library index, which the second reuses). Measures wall time and peak memory with
# /usr/bin/time, the sizes of the files, and the peak memory of `zarvel-cli render` of the
# same model for comparison; prints the medians and the ratios against the limits
# (export time and file at most 0.1 of LeoCAD's OBJ, memory at most twice render's).
# Needs LeoCAD headless as ../shared/peers/README.md describes (leocad, xvfb-run).
# Not a test: timings on a shared machine are noisy.
set -euo pipefail
cd "$(dirname "$0")/.."

cli=$(realpath "${1:-build/release/cli/zarvel-cli}")
lib=$(realpath ../shared/ldraw)
model=${2:-$lib/models/10179-1 - Millennium Falcon - UCS.mpd}
runs=${3:-5}
out=$(mktemp -d /tmp/zarvel-bench-export.XXXXXX)
trap 'rm -rf "$out"' EXIT

# seconds and kilobytes of one whole process: "S KB"
measure() {
  /usr/bin/time -f '%e %M' -o "$out/time" "$@" > /dev/null 2>> "$out/log"
  cat "$out/time"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "model: $model"
: > "$out/glb"; : > "$out/render"
for ((i = 0; i < runs; ++i)); do
  measure "$cli" export --ldraw "$lib" "$model" -o "$out/model.glb" >> "$out/glb"
  measure "$cli" render --ldraw "$lib" "$model" -o "$out/model.png" >> "$out/render"
done
glb_s=$(cut -d' ' -f1 "$out/glb" | median)
glb_kb=$(cut -d' ' -f2 "$out/glb" | median)
render_kb=$(cut -d' ' -f2 "$out/render" | median)
glb_bytes=$(stat -c %s "$out/model.glb")
printf 'zarvel-cli export .glb: %s s, peak %s KB, file %s bytes (median of %d)\n' \
  "$glb_s" "$glb_kb" "$glb_bytes" "$runs"
printf 'zarvel-cli render:      peak %s KB\n' "$render_kb"

if ! command -v leocad > /dev/null || ! command -v xvfb-run > /dev/null; then
  echo "LeoCAD or xvfb-run is not installed: no comparison" >&2
  exit 0
fi
home=${LEOCAD_HOME:-/tmp/leocad-home}
mkdir -p "$home/runtime"; chmod 700 "$home/runtime"
leocad_obj() {
  measure env HOME="$home" XDG_RUNTIME_DIR="$home/runtime" LIBGL_ALWAYS_SOFTWARE=1 \
    xvfb-run -a leocad -l "$lib" "$model" --export-wavefront "$out/model.obj"
}
first=$(leocad_obj)
second=$(leocad_obj)
leo_s=$(cut -d' ' -f1 <<< "$second")
obj_bytes=$(stat -c %s "$out/model.obj")
printf 'LeoCAD OBJ export:      %s s (first run %s s), file %s bytes\n' \
  "$leo_s" "$(cut -d' ' -f1 <<< "$first")" "$obj_bytes"

awk -v t="$glb_s" -v lt="$leo_s" -v b="$glb_bytes" -v lb="$obj_bytes" \
    -v m="$glb_kb" -v rm="$render_kb" 'BEGIN {
  printf "time:   %.3f of LeoCAD'\''s (at most 0.1)\n", t / lt
  printf "size:   %.3f of LeoCAD'\''s (at most 0.1)\n", b / lb
  printf "memory: %.2f of render'\''s (at most 2)\n", m / rm
}'
