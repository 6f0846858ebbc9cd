#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# once in the release build, once more under the address and undefined-
# behaviour sanitizers (all but the timing script of bench/, which only
# drives the program), then every fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" --timeout 300)

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1" -DORBIT_SANITIZE=ON > /dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --output-on-failure -j "$jobs" --timeout 600 -E '^speed_script$')

bash scripts/fuzz.sh
