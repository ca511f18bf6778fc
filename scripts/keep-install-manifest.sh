#!/usr/bin/env bash
# Runs a command in a build folder and keeps that folder's install_manifest.txt as it
# was: CMake's install writes the list of what it installed there, and a packager
# (cpack) installs into a staging folder of its own, which would leave the package's
# /usr paths in the list a user may remove `cmake --install`'s files by.
# Usage: scripts/keep-install-manifest.sh BUILD_DIR COMMAND [ARGS...]
set -euo pipefail
dir=$1
shift
manifest="$dir/install_manifest.txt"
saved=""
if [ -e "$manifest" ]; then
  saved=$(mktemp)
  cp -p "$manifest" "$saved"
fi
restore() {
  if [ -n "$saved" ]; then
    mv -f "$saved" "$manifest"
  else
    rm -f "$manifest"
  fi
}
trap restore EXIT
(cd "$dir" && "$@")
