#!/usr/bin/env bash
# Builds the split run's tests with ThreadSanitizer into build-tsan/ and runs
# them: the parallel split's workers share the run's state only through the
# standard library's locks and atomics, which the sanitizer checks. Called by
# scripts/test.sh after the AddressSanitizer pass.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -O1 -g1" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
  -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread -DCADELO_BUILD_BENCH=OFF -DCADELO_TEST_TIMEOUT_SCALE=10 >/dev/null
cmake --build build-tsan --parallel "$(nproc)" --target test_splitrun test_sourcetags

# A data race fails the test program.
export TSAN_OPTIONS="halt_on_error=1 exitcode=66"
cd build-tsan
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
  ctest --output-on-failure --parallel "$(nproc)" -R '^(test_splitrun|test_sourcetags)$'
