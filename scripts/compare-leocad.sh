#!/usr/bin/env bash
# Draws every model of an LDraw library's models/ folder with zarvel-cli and with
# LeoCAD (through ../shared/peers/leocad-render.sh) from the same direction, and prints
# per model how far zarvel-cli's picture is from LeoCAD's (zarvel-peer-compare: CIE76
# colour difference after a 13 x 13 box blur, lightness difference, shares of dark
# pixels, checkerboard pixels), then the averages.
#
#   scripts/compare-leocad.sh ZARVEL_CLI PEER_COMPARE [LIBDIR] [-- zarvel-cli options]
#
# Both draw 800 x 600 pixels: zarvel-cli view 1 fitted with the colours of
# LDConfig.ldr (and any options after --, e.g. --quality high), LeoCAD orthographic
# from latitude 30 and longitude 45 with 4 samples per pixel. LeoCAD's pictures are
# kept in LEO (default a folder in /tmp) and drawn only once; OUT keeps ours.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: $0 ZARVEL_CLI PEER_COMPARE [LIBDIR] [-- zarvel-cli options]" >&2
  exit 2
fi
cli=$(realpath "$1")
compare=$(realpath "$2")
shift 2
lib=../shared/ldraw
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
  lib=$1
  shift
fi
lib=$(realpath "$lib")
[ $# -gt 0 ] && [ "$1" = "--" ] && shift
peer=$(realpath ../shared/peers/leocad-render.sh)
leo=${LEO:-/tmp/zarvel-leocad}
out=${OUT:-$(mktemp -d /tmp/zarvel-peer.XXXXXX)}
mkdir -p "$leo" "$out"

printf '%-40s %7s %7s %6s %6s %8s\n' model dE dL* dark leo-dark checker
for model in "$lib"/models/*; do
  [ -f "$model" ] || continue
  name=$(basename "$model")
  stem=${name%.*}
  stem=${stem// /_}
  if [ ! -s "$leo/$stem.png" ]; then
    LDRAW_LIB=$lib "$peer" "$model" "$leo/$stem.png" 800 600 \
      --orthographic --camera-angles 30 45 --aa-samples 4 > "$leo/$stem.log" 2>&1 || true
  fi
  "$cli" render --ldraw "$lib" --size 800x600 --view 1 --fit --scheme 3 "$@" "$model" \
    -o "$out/$stem.png" > /dev/null 2>&1
  if ! line=$("$compare" "$out/$stem.png" "$leo/$stem.png"); then
    printf '%-40s (no comparison)\n' "$stem"
    continue
  fi
  # scale SX SY pixels N dE E dL L dark OURS THEIRS checker C
  read -r _ _ _ _ _ _ dE _ dL _ dark theirs _ checker <<< "$line"
  printf '%-40s %7s %7s %6s %6s %8s\n' "${stem:0:40}" "$dE" "$dL" "$dark" "$theirs" "$checker"
  echo "$dE $dL $dark $theirs" >> "$out/table.txt"
done
awk '{e+=$1; l+=$2; d+=$3-$4; n++} END {if (n) printf "%-40s %7.2f %7.2f %13.1f\n", "average (dark: ours minus leo)", e/n, l/n, d/n}' "$out/table.txt"
