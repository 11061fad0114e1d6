#!/usr/bin/env bash
# Builds the Debian package: installs the dependencies, builds Release into
# build/, then writes build/cadelo_<version>_<arch>.deb and checks it with
# lintian where lintian is installed.
#   sudo apt install ./build/cadelo_*.deb     installs it
#   sudo apt remove cadelo                    removes it
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/install-deps.sh dpkg-dev file lintian
scripts/build.sh --target cadelo cadelo-cli cadelo-ffmpeg cadelo-sdl cadelo_package_files cadelo_man_pages
(cd build && cpack -G DEB >/dev/null)
deb=$(ls -t build/cadelo_*.deb | head -n 1)
echo "$deb"
if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error "$deb"
fi
