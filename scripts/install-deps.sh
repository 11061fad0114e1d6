#!/usr/bin/env bash
# Installs everything Cadelo needs to build, run and test, from Debian's
# packages; with package names as arguments, those instead (scripts/font-runs.sh
# brings its fonts so). Does nothing (quickly) when all are present.
set -euo pipefail

PACKAGES=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6svg6 libgl-dev fonts-dejavu-core
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
  fonts-liberation2
  libvorbis-dev libogg-dev libmpg123-dev libflac-dev libopusenc-dev libopus-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libsdl2-dev libtag1-dev libgtest-dev
  vorbis-tools lame ffmpeg flac opus-tools
  desktop-file-utils appstream clang-format
)
if [ $# -gt 0 ]; then
  PACKAGES=("$@")
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
