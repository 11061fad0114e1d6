#!/usr/bin/env bash
# Installs the dependencies, builds Cadelo and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh --target cadelo
exec build/cadelo "$@"
