#!/usr/bin/env bash
# Builds the core layers, cadelo-cli and the core's test programs with
# AddressSanitizer and UBSan into build-asan/ and runs those tests. Called by
# scripts/test.sh after the normal build's tests pass.
set -euo pipefail
cd "$(dirname "$0")/.."

# Line tables are all a sanitizer report needs, and they compile faster than full debug information.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DCADELO_SANITIZE=ON -DCADELO_BUILD_BENCH=OFF -DCADELO_TEST_TIMEOUT_SCALE=5 >/dev/null
# cadelo_core_tests and core-tests.txt come from CORE_TESTS in tests/CMakeLists.txt.
cmake --build build-asan --parallel "$(nproc)" --target cadelo_commands cadelo-cli cadelo_core_tests

tests_regex="^($(paste -sd'|' build-asan/core-tests.txt))\$"

# Leaks count; a UBSan report stops the program (the build does not recover
# from one either).
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

cd build-asan
QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
  ctest --output-on-failure --parallel "$(nproc)" -R "$tests_regex"
