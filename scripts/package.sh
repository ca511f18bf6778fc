#!/usr/bin/env bash
# Builds the Debian package from a Release build and prints its path
# (build/release/zarvel_VERSION_ARCH.deb). When lintian is installed (apt install
# lintian), the package is checked with it and any error or warning fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^project(Zarvel VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
changelog=$(sed -n '1s/^zarvel (\([^)]*\)).*/\1/p' packaging/changelog)
if [ "$version" != "$changelog" ]; then
  echo "packaging/changelog starts with version $changelog, the project is $version:" \
    "add an entry for $version first" >&2
  exit 1
fi

# Time stamps in the package from the last commit, so a rebuild gives the same files.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}

dir=$(bash scripts/build.sh release | tail -n 1)
# The package's staging install leaves the list of what `cmake --install` wrote alone.
bash scripts/keep-install-manifest.sh "$dir" cpack -G DEB >/dev/null
deb="$dir/zarvel_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "cpack wrote no $deb" >&2; exit 1; }

if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$deb" >&2
else
  echo "lintian is not installed: the package was not checked" >&2
fi
echo "$deb"
