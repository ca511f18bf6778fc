#!/usr/bin/env bash
# Draws every model of an LDraw library (and the bundled examples) in all fifteen views
# and under many drawing options with two builds of zarvel-cli, and compares the
# pictures, statistics, scenes, checks and trees byte for byte. The times and dates both
# builds print are masked; everything else must agree. (Random colours are seeded from
# the clock, so they are left out.)
#
#   scripts/compare-pictures.sh OLD_CLI NEW_CLI [LIBDIR]
#
# LIBDIR defaults to ../shared/ldraw. OUT names a folder to keep both sets in (default a
# new temporary folder). OLD_OUT names a folder that already holds the old build's set:
# it is reused instead of drawing it again. Exit status 1 when anything differs.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: $0 OLD_CLI NEW_CLI [LIBDIR]" >&2
  exit 2
fi
old=$(realpath "$1")
new=$(realpath "$2")
lib=$(realpath "${3:-../shared/ldraw}")
out=${OUT:-$(mktemp -d /tmp/zarvel-compare.XXXXXX)}
examples=$(realpath examples)
mkdir -p "$out"

# The cases: one line per run, "NAME<TAB>LIB<TAB>MODEL<TAB>COMMAND ARGS...".
cases() {
  local model name lib_of
  for model in "$lib"/models/*.ldr "$lib"/models/*.mpd "$examples"/models/*; do
    [ -f "$model" ] || continue
    name=$(basename "$model" | tr ' ' '_')
    lib_of=$lib
    case $model in "$examples"/*) lib_of=$examples ;; esac
    for view in $(seq 0 14); do
      printf '%s\t%s\t%s\t%s\n' "$name.v$view.png" "$lib_of" "$model" \
        "render --fit --size 320x240 --scheme 3 --view $view"
    done
    for opt in bfc=off shading=off seams=on studsLast=off refreshEachPart=on lineAsStud=on \
      vertexLists=on showType2=off showType3=off showType4=off showType5=off edgesType3=on \
      edgesType4=on showAllType5=on colour24Black=on allTransparent=on \
      ditherTransparency=off dither256=off showModelBox=on showAxes=on; do
      for view in 0 1; do
        printf '%s\t%s\t%s\t%s\n' "$name.$opt.v$view.png" "$lib_of" "$model" \
          "render --fit --size 320x240 --view $view --opt $opt"
      done
    done
    for scheme in 0 1 2; do
      printf '%s\t%s\t%s\t%s\n' "$name.scheme$scheme.png" "$lib_of" "$model" \
        "render --fit --size 320x240 --view 1 --scheme $scheme"
    done
    for preview in wire solid; do
      printf '%s\t%s\t%s\t%s\n' "$name.$preview.png" "$lib_of" "$model" \
        "render --fit --size 320x240 --view 1 --preview $preview"
    done
    # The high-quality drawing: views, options that change what it draws, and close up.
    for view in 0 1 3 6; do
      printf '%s\t%s\t%s\t%s\n' "$name.hq.v$view.png" "$lib_of" "$model" \
        "render --fit --size 320x240 --quality high --view $view"
    done
    for opt in bfc=off shading=off studsLast=off lineAsStud=on edgesType3=on edgesType4=on \
      showAllType5=on showType2=off allTransparent=on colour24Black=on; do
      printf '%s\t%s\t%s\t%s\n' "$name.hq.$opt.png" "$lib_of" "$model" \
        "render --fit --size 320x240 --quality high --view 1 --opt $opt"
    done
    printf '%s\t%s\t%s\t%s\n' "$name.hq.zoom.png" "$lib_of" "$model" \
      "render --size 300x200 --quality high"
    printf '%s\t%s\t%s\t%s\n' "$name.hq.large.png" "$lib_of" "$model" \
      "render --fit --size 1024x768 --view 1 --quality high"
    printf '%s\t%s\t%s\t%s\n' "$name.zoom.png" "$lib_of" "$model" "render --size 300x200"
    printf '%s\t%s\t%s\t%s\n' "$name.large.png" "$lib_of" "$model" \
      "render --fit --size 1024x768 --view 1 --scheme 3"
    printf '%s\t%s\t%s\t%s\n' "$name.stats.txt" "$lib_of" "$model" "stats --view 1 --scheme 3"
    printf '%s\t%s\t%s\t%s\n' "$name.pov" "$lib_of" "$model" "pov"
    printf '%s\t%s\t%s\t%s\n' "$name.check.txt" "$lib_of" "$model" "check"
    printf '%s\t%s\t%s\t%s\n' "$name.tree.txt" "$lib_of" "$model" "tree --depth 3"
  done
}

# One case with one program into one folder. The output goes to the named file (a
# picture or a scene) or standard output does; the status and standard error are kept
# beside it. Times are masked.
run_case() {
  local cli=$1 dir=$2 name=$3 lib=$4 model=$5 command=$6
  local target="$dir/$name" status=0
  # shellcheck disable=SC2086
  set -- $command
  case $name in
    *.png | *.pov) "$cli" "$@" --ldraw "$lib" "$model" -o "$target" > "$target.out" 2> "$target.err" || status=$? ;;
    *) "$cli" "$@" --ldraw "$lib" "$model" > "$target" 2> "$target.err" || status=$? ;;
  esac
  echo "$status" > "$target.status"
  for f in "$target" "$target.out" "$target.err"; do
    [ -f "$f" ] || continue
    case $f in *.png) continue ;; esac
    sed -E -i \
      -e 's/[0-9]+\.[0-9]+ seconds \([0-9]+\)/T seconds (T)/g' \
      -e 's/^(\t(Load|Draw|Calc):\t)[0-9]+ ms/\1T ms/' \
      -e 's/ in [0-9]+ ms/ in T ms/g' \
      -e 's|^// Date: .*|// Date: T|' \
      "$f"
  done
}
export -f run_case

draw_set() {
  local cli=$1 dir=$2
  mkdir -p "$dir"
  cases | while IFS=$'\t' read -r name lib_of model command; do
    printf '%s\0%s\0%s\0%s\0%s\0%s\0' "$cli" "$dir" "$name" "$lib_of" "$model" "$command"
  done | xargs -0 -n 6 -P "$(nproc)" bash -c 'run_case "$@"' _
}

if [ -n "${OLD_OUT:-}" ] && [ -d "$OLD_OUT" ]; then
  old_dir=$OLD_OUT
else
  old_dir=$out/old
  echo "drawing with $old"
  draw_set "$old" "$old_dir"
fi
echo "drawing with $new"
draw_set "$new" "$out/new"

total=0 differ=0
while IFS= read -r file; do
  total=$((total + 1))
  if ! cmp -s "$old_dir/$file" "$out/new/$file"; then
    differ=$((differ + 1))
    [ "$differ" -le 20 ] && echo "differs: $file"
  fi
done < <(cd "$old_dir" && find . -type f | sort)
echo "$total files compared, $differ differ ($out)"
[ "$differ" -eq 0 ]
