#!/usr/bin/env bash
# Installs the Debian 12 packages Zarvel needs to build, test and run (as root).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
  nlohmann-json3-dev  # steps.json of the building instructions
  clang libclang-rt-14-dev clang-format
  povray
  qt6-base-dev libx11-dev shared-mime-info
  # The registration tests ask the desktops' own tools what opens a model.
  xdg-utils libglib2.0-bin
  locales
  chromium  # a test prints a guide of building instructions with it
  file  # scripts/package.sh: cpack finds the programs for dpkg-shlibdeps with it
)

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

# The tests check that numbers keep their decimal point under a comma locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [ "$(id -u)" -eq 0 ]; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8
  else
    echo "Run as root to generate the de_DE.UTF-8 locale the tests use" >&2
  fi
fi
