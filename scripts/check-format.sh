#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format (with the
# repository's .clang-format) makes of it; prints the places that differ.
# Takes the clang-format program from $CLANG_FORMAT, else from PATH.
set -euo pipefail
cd "$(dirname "$0")/.."
format="${CLANG_FORMAT:-clang-format}"
if ! command -v "$format" >/dev/null; then
  echo "check-format: $format not found" >&2
  exit 1
fi
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r "$format" --dry-run --Werror
