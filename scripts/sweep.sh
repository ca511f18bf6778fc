#!/usr/bin/env bash
# Runs zarvel-cli over a whole LDraw library: `check` on every file, `render` and `pov`
# on every model (the files below models/ and every .ldr and .mpd), in parallel, each
# run under a time limit, then prints a summary: files, exit statuses, crashes,
# time-outs and the slowest runs.
#
#   scripts/sweep.sh LIBDIR [JOBS]
#
# ZARVEL_CLI names the program (default build/release/cli/zarvel-cli; an ASan build
# works too: a sanitizer report counts as a crash), SWEEP_TIMEOUT the limit in seconds
# per run (default 30), SWEEP_OUT the folder for the results (default a new temporary
# folder, kept). Exit status 1 when a run crashed or timed out.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 LIBDIR [JOBS]" >&2
  exit 2
fi
lib=$(cd "$1" && pwd)
jobs=${2:-$(nproc)}
cli=$(realpath "${ZARVEL_CLI:-build/release/cli/zarvel-cli}")
limit=${SWEEP_TIMEOUT:-30}
out=${SWEEP_OUT:-$(mktemp -d /tmp/zarvel-sweep.XXXXXX)}
mkdir -p "$out/runs"
[ -x "$cli" ] || { echo "sweep: no program at $cli (build it first)" >&2; exit 2; }

# One run: "COMMAND STATUS SECONDS CRASHED FILE" on standard output. CRASHED is 1 when
# the program died of a signal or a sanitizer reported a fault.
run_one() {
  local command=$1 file=$2 cli=$3 lib=$4 limit=$5 out=$6
  local scratch log status start end crashed=0
  scratch=$(mktemp "$out/runs/run.XXXXXX")
  log="$scratch.log"
  local args=(--ldraw "$lib" "$file")
  case $command in
    render) args+=(-o "$scratch.png" --size 160x120) ;;
    pov) args+=(-o "$scratch.pov") ;;
  esac
  start=$(date +%s.%N)
  status=0
  timeout -k 5 "$limit" "$cli" "$command" "${args[@]}" > /dev/null 2> "$log" < /dev/null || status=$?
  end=$(date +%s.%N)
  # 124: the limit was reached; 137: killed five seconds after it.
  if [ "$status" -ge 128 ] && [ "$status" -ne 137 ]; then crashed=1; fi
  if grep -qE 'AddressSanitizer|LeakSanitizer|runtime error:' "$log"; then crashed=1; fi
  if [ "$crashed" = 1 ]; then
    cp "$log" "$out/crash.$command.$(basename "$file").log"
  fi
  rm -f "$scratch" "$scratch.log" "$scratch.png" "$scratch.pov"
  printf '%s %s %s %s %s\n' "$command" "$status" "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')" "$crashed" "$file"
}
export -f run_one

files="$out/files.txt"
find "$lib" -type f \( -iname '*.dat' -o -iname '*.ldr' -o -iname '*.mpd' \) | sort > "$files"
grep -iE '/models/|\.(ldr|mpd)$' "$files" > "$out/models.txt" || true
{
  sed 's/^/check\t/' "$files"
  sed 's/^/render\t/' "$out/models.txt"
  sed 's/^/pov\t/' "$out/models.txt"
} > "$out/work.txt"

echo "sweep: $(wc -l < "$files") files, $(wc -l < "$out/work.txt") runs, $jobs at a time," \
  "limit ${limit}s, results in $out"
started=$(date +%s)
tr '\n' '\0' < "$out/work.txt" |
  xargs -0 -P "$jobs" -I{} bash -c 'IFS=$'"'"'\t'"'"' read -r c f <<< "$1"; run_one "$c" "$f" "$2" "$3" "$4" "$5"' \
    _ {} "$cli" "$lib" "$limit" "$out" > "$out/results.txt"
finished=$(date +%s)

results="$out/results.txt"
echo "== $(wc -l < "$results") runs in $((finished - started)) s"
echo "== exit statuses (command status count)"
awk '{ n[$1 " " $2]++ } END { for (k in n) print "  " k, n[k] }' "$results" | sort
crashes=$(awk '$4 == 1' "$results" | wc -l)
timeouts=$(awk '$2 == 124 || $2 == 137' "$results" | wc -l)
echo "== crashes: $crashes"
awk '$4 == 1 { print "  " $1, $2, substr($0, index($0, $5)) }' "$results"
echo "== time-outs (${limit}s): $timeouts"
awk '$2 == 124 || $2 == 137 { print "  " $1, substr($0, index($0, $5)) }' "$results"
echo "== slowest runs (seconds)"
sort -k3,3 -g -r "$results" |
  awk 'NR <= 10 { printf "  %8.3f %s %s\n", $3, $1, substr($0, index($0, $5)) }'
[ "$crashes" -eq 0 ] && [ "$timeouts" -eq 0 ]
