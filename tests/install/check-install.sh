#!/bin/sh
# Installs a build into a scratch prefix and checks the tree a Linux desktop
# expects: programs, help page, desktop entry, metainfo, icon and man page,
# each naming the others by the installed names. desktop-file-validate and
# appstreamcli check the entry and the metainfo when they are installed.
# Usage: check-install.sh CMAKE BUILD_DIR PREFIX
set -u
cmake=$1 build=$2 prefix=$3
id=io.github.cadelo.Cadelo
work=$prefix.check # scratch files of the checks, outside the installed tree
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

for program in cadelo cadelo-cli; do
  if [ ! -x "$build/$program" ]; then
    echo "FAIL: $build/$program is not built; build cadelo and cadelo-cli first" >&2
    exit 1
  fi
done
rm -rf "$prefix" "$work"
mkdir -p "$work"
if ! "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAIL: cmake --install $build --prefix $prefix" >&2
  exit 1
fi

desktop=share/applications/$id.desktop
metainfo=share/metainfo/$id.metainfo.xml
man=share/man/man1/cadelo-cli.1.gz
for f in bin/cadelo bin/cadelo-cli share/cadelo/help/cadelo.html "$desktop" "$metainfo" \
         share/icons/hicolor/scalable/apps/$id.svg "$man" share/man/man1/cadelo.1.gz \
         share/doc/cadelo/copyright share/doc/cadelo/changelog.gz; do
  [ -s "$prefix/$f" ] || fail "$f is not installed"
done
[ -x "$prefix/bin/cadelo" ] && [ -x "$prefix/bin/cadelo-cli" ] || fail "the programs are not executable"

# The modules a job opens when it needs them, where the installed programs look.
for module in cadelo-ffmpeg cadelo-sdl; do
  [ -n "$(find "$prefix" -path "*/lib*/cadelo/lib$module.so")" ] || fail "the module $module is not installed"
done
if command -v ffmpeg >/dev/null 2>&1; then
  # Moved away from the build tree, the installed program still finds FFmpeg's.
  ffmpeg -loglevel error -f lavfi -i "sine=d=1" -c:a wmav2 "$work/tone.wma" \
    && "$prefix/bin/cadelo-cli" info "$work/tone.wma" >"$work/info.txt" 2>&1 \
    || { cat "$work/info.txt" >&2; fail "the installed cadelo-cli cannot read a WMA file"; }
else
  echo "skipped: ffmpeg is not installed (the installed FFmpeg module)"
fi

# The entry starts the installed program and shows the installed icon; the
# metainfo launches the installed entry.
entry() { sed -n "s/^$1=//p" "$prefix/$desktop"; }
program=$(entry Exec | cut -d' ' -f1)
[ -x "$prefix/bin/$program" ] || fail "Exec= starts $program, which is not installed"
[ -s "$prefix/share/icons/hicolor/scalable/apps/$(entry Icon).svg" ] || fail "Icon= names no installed icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$prefix/$metainfo" \
  || fail "the metainfo does not launch $id.desktop"

# The man page documents exactly the options and commands of --help.
"$prefix/bin/cadelo-cli" --help >"$work/help.txt" || fail "the installed cadelo-cli --help failed"
options() { grep -oE -- '(^|[^a-z-])--?[a-z][a-z-]*' "$1" | grep -oE -- '--?[a-z][a-z-]*' | sort -u; }
gzip -dc "$prefix/$man" | sed 's/\\-/-/g' >"$work/man.txt"
options "$work/help.txt" >"$work/help-options.txt"
options "$work/man.txt" >"$work/man-options.txt"
if ! diff "$work/help-options.txt" "$work/man-options.txt" >"$work/options.diff"; then
  fail "docs/cadelo-cli.1 must document exactly the options of cadelo-cli --help (< only in --help, > only in the man page):"
  grep '^[<>]' "$work/options.diff" >&2
fi
for command in info split join; do
  grep -q "cadelo-cli $command" "$work/help.txt" || fail "--help lacks the command $command"
  grep -q "^\.B cadelo-cli $command" "$work/man.txt" || fail "the man page lacks the command $command"
done

# The validators, where installed.
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$prefix/$desktop" || fail "desktop-file-validate"
else
  echo "skipped: desktop-file-validate is not installed"
fi
if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net "$prefix/$metainfo" || fail "appstreamcli validate"
  # The tree as a whole: the metainfo's desktop entry and icon where it says.
  appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"
else
  echo "skipped: appstreamcli is not installed"
fi
if command -v man >/dev/null 2>&1; then
  for page in "$man" share/man/man1/cadelo.1.gz; do
    warnings=$(man --warnings -l -Tutf8 "$prefix/$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page warnings in $page: $warnings"
  done
fi

[ $status -eq 0 ] && echo "installed tree complete: $prefix"
exit $status
