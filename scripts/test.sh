#!/usr/bin/env bash
# Installs the dependencies, checks the C++ files' format (scripts/check-format.sh),
# builds everything and runs every test; then the
# window's tests with two other font sets (scripts/font-runs.sh), the core's
# tests again under AddressSanitizer and UBSan (scripts/sanitize.sh) and the
# split run's under ThreadSanitizer (scripts/tsan.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh
scripts/build.sh
(
  cd build
  QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ctest --output-on-failure --parallel "$(nproc)"
)
scripts/font-runs.sh
scripts/sanitize.sh
scripts/tsan.sh
