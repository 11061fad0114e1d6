#!/bin/sh
# Builds the Debian package of a build and checks it against the install
# tree: the same files, the programs run from the unpacked package, and the
# control data names its dependencies. Skipped where dpkg-deb or cpack is
# missing. Installing it (apt) needs root, so that is left to the hand.
# Usage: check-package.sh CMAKE BUILD_DIR SCRATCH
set -u
cmake=$1 build=$2 work=$3
cpack=$(dirname "$cmake")/cpack
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

if ! command -v dpkg-deb >/dev/null 2>&1 || [ ! -x "$cpack" ]; then
  echo "skipped: dpkg-deb or cpack is not installed"
  exit 0
fi
rm -rf "$work"
mkdir -p "$work/deb" "$work/tree" "$work/root"
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack -G DEB" >&2
  exit 1
fi
deb=$(ls "$work"/deb/cadelo_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL: cpack wrote no cadelo_*.deb" >&2; exit 1; }

# Every file of the install tree, and nothing else, at the same place.
"$cmake" --install "$build" --prefix "$work/tree/usr" >/dev/null || fail "cmake --install"
(cd "$work/tree" && find . ! -type d | sort) >"$work/tree.txt"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/deb.txt"
diff "$work/tree.txt" "$work/deb.txt" >"$work/files.diff" \
  || { fail "the package's files differ from the install tree (< tree only, > package only):"; cat "$work/files.diff" >&2; }

control() { dpkg-deb -f "$deb" "$1"; }
[ "$(control Package)" = cadelo ] || fail "Package is not cadelo"
for library in libqt6widgets6 libvorbisenc2 libmpg123-0 libtag1v5 qt6-qpa-plugins; do
  control Depends | grep -q "$library" || fail "Depends lacks $library"
done

# The unpacked programs run where they lie, modules and help page found
# beside them.
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x"
"$work/root/usr/bin/cadelo-cli" --help >"$work/help.txt" 2>&1 || fail "the packaged cadelo-cli --help failed"
"$build/cadelo-cli" --help >"$work/help-built.txt" 2>&1
cmp -s "$work/help.txt" "$work/help-built.txt" || fail "the packaged cadelo-cli --help differs from the built one"

[ $status -eq 0 ] && echo "package complete: $deb"
exit $status
