#!/usr/bin/env bash
# Runs the window's tests (CTest label "widget") twice more, each time with
# a font set that a user's desktop may have instead of this machine's: DejaVu
# alone (no face of Arial's widths at all), and DejaVu with the URW base fonts
# (where Arial resolves to Nimbus Sans). No window test may depend on the
# fonts of one machine. Needs the build in build/; installs the URW fonts.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh fonts-urw-base35

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The folders holding a package's TrueType and OpenType fonts.
font_dirs() {
  dpkg -L "$@" | grep -E '\.(ttf|otf)$' | xargs -r -n1 dirname | sort -u
}

# A fontconfig file that sees the given folders only, with the system's rules
# (the aliases, and the URW fonts' own once installed) and a cache of its own.
write_config() {
  local file="$1"
  shift
  {
    echo '<?xml version="1.0"?>'
    echo '<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">'
    echo '<fontconfig>'
    for dir in "$@"; do
      echo "  <dir>$dir</dir>"
    done
    echo "  <cachedir>$work/cache</cachedir>"
    echo '  <include ignore_missing="yes">/etc/fonts/conf.d</include>'
    echo '</fontconfig>'
  } >"$file"
}

mapfile -t dejavu < <(font_dirs fonts-dejavu-core)
mapfile -t urw < <(font_dirs fonts-urw-base35)
write_config "$work/dejavu.conf" "${dejavu[@]}"
write_config "$work/dejavu-urw.conf" "${dejavu[@]}" "${urw[@]}"

status=0
for run in dejavu dejavu-urw; do
  config="$work/$run.conf"
  arial=""
  if command -v fc-match >/dev/null; then
    arial=" (Arial: $(FONTCONFIG_FILE="$config" fc-match -f '%{family[0]}' 'Arial:italic'))"
  fi
  echo "== window tests with the fonts $run$arial"
  (
    cd build
    FONTCONFIG_FILE="$config" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
      ctest -L widget --output-on-failure
  ) || status=1
done
exit "$status"
