#!/usr/bin/env bash
# Installs the Debian 12 packages Zarvel needs to build, test and run (as root).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
  nlohmann-json3-dev  # glTF's JSON of the exports, steps.json of the building instructions
  clang libclang-rt-14-dev clang-format
  povray
  # The exports are checked in the programs that read them: the glTF validator (an npm
  # package, below), assimp, and f3d drawing offscreen on a virtual display.
  assimp-utils f3d xvfb xauth libgl1-mesa-dri libglx-mesa0
  qt6-base-dev libx11-dev shared-mime-info
  # The registration tests ask the desktops' own tools what opens a model.
  xdg-utils libglib2.0-bin
  locales
  chromium  # a test prints a guide of building instructions with it
  file  # scripts/package.sh: cpack finds the programs for dpkg-shlibdeps with it
)

# node and npm from Debian, unless a node of another source (with its own npm) is there.
command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Run as root to install packages: ${missing[*]}" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Khronos glTF validator, for the tests of the glTF export.
validator=gltf-validator@2.0.0-dev.3.10
if command -v npm >/dev/null && [ ! -d "$(npm root -g)/gltf-validator" ]; then
  if [ "$(id -u)" -eq 0 ]; then
    npm install -g --no-fund --no-audit "$validator" >/dev/null
  else
    echo "Run as root to install the glTF validator ($validator) the tests use" >&2
  fi
fi

# The tests check that numbers keep their decimal point under a comma locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ "$(id -u)" -eq 0 ]; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8
  else
    echo "Run as root to generate the de_DE.UTF-8 locale the tests use" >&2
  fi
fi
