#!/usr/bin/env bash
# Configures and builds Cadelo into build/ (Release by default).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_TYPE="${CADELO_BUILD_TYPE:-Release}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" >/dev/null
cmake --build build --parallel "$(nproc)" "$@"
