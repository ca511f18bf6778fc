#!/usr/bin/env bash
# Installs what is missing, builds Zarvel, and runs it on the bundled example library:
# checks the demo model, renders it to PNG, writes it as a POV-Ray scene, and opens it in
# the desktop program when a display is available.
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== Installing the Debian packages that are missing"
bash scripts/install-deps.sh
echo "== Building build/release (the first time about 10 minutes on two cores)"
# The build's progress, a line each tenth of the way; the compiler's errors still show.
bash scripts/build.sh release | awk '
  match($0, /^\[ *[0-9]+%\]/) {
    n = substr($0, 2, RLENGTH - 3) + 0
    if (int(n / 10) != shown) { printf "   %d%% built\n", n; fflush(); shown = int(n / 10) }
  }
  BEGIN { shown = -1 }'

root=$PWD
cli=build/release/cli/zarvel-cli
desktop=$root/build/release/app/zarvel
lib=examples
model=examples/models/house.mpd
mkdir -p out

echo "== zarvel-cli check $model"
"$cli" check --ldraw "$lib" "$model" && echo "(no problems found)" || true
echo "== zarvel-cli render $model -o out/house.png"
"$cli" render --ldraw "$lib" "$model" -o out/house.png --view 1 --fit
echo "== zarvel-cli pov $model -o out/house.pov"
"$cli" pov --ldraw "$lib" "$model" -o out/house.pov
echo "== zarvel-cli export $model -o out/house.glb"
"$cli" export --ldraw "$lib" "$model" -o out/house.glb
echo "Wrote out/house.png, out/house.pov and out/house.glb"

# The demo keeps its settings apart from the user's own, so that the example library is
# the one the window uses. Every path is absolute, so the command works from any folder.
open_window=(env XDG_CONFIG_HOME="$root/out/demo-config" LDRAWDIR="$root/$lib" "$desktop" "$root/$model")
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== zarvel $model (close the window to end the demo)"
  "${open_window[@]}"
else
  echo "No display: to see the model in the desktop program, run on a desktop:"
  printf -v command '%q ' "${open_window[@]}"
  echo "  ${command% }"
fi
