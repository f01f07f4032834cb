#!/bin/sh
# Installs what is needed, builds and runs every test: once as a normal
# build, once with AddressSanitizer and UndefinedBehaviorSanitizer.
set -e
cd "$(dirname "$0")/.."
sh scripts/deps.sh
JOBS=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV750_BUILD_BENCH=ON
cmake --build build/test -j "$JOBS"
ctest --test-dir build/test --output-on-failure -j "$JOBS"

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV750_SANITIZE=ON
cmake --build build/asan -j "$JOBS"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$JOBS"
