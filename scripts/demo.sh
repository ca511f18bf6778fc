#!/usr/bin/env bash
# Installs what is missing, builds Zarvel, and runs it on the bundled example library:
# checks the demo model, renders it to PNG and writes it as a POV-Ray scene.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh release >/dev/null

cli=build/release/cli/zarvel-cli
lib=examples
model=examples/models/house.mpd
mkdir -p out

echo "== zarvel-cli check $model"
"$cli" check --ldraw "$lib" "$model" && echo "(no problems found)" || true
echo "== zarvel-cli render $model -o out/house.png"
"$cli" render --ldraw "$lib" "$model" -o out/house.png --view 1 --fit
echo "== zarvel-cli pov $model -o out/house.pov"
"$cli" pov --ldraw "$lib" "$model" -o out/house.pov
echo "Wrote out/house.png and out/house.pov"
