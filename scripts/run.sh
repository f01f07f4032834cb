#!/bin/sh
# Installs what is needed, builds the program and starts it.
set -e
cd "$(dirname "$0")/.."
sh scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV750_BUILD_TESTS=OFF
cmake --build build/release -j "$(nproc)"
exec ./build/release/app/qv750 "$@"
