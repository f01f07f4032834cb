#!/bin/sh
# Builds the libFuzzer targets with clang in build/fuzz and runs each one.
#   sh scripts/fuzz.sh [seconds] [target...]
# seconds defaults to 30 per target; without target names every fuzz target
# runs. Findings (crash-*, leak-*, timeout-*) land in build/fuzz/findings/<target>.
set -e
cd "$(dirname "$0")/.."
SECONDS_PER_TARGET=${1:-30}
[ $# -gt 0 ] && shift
BUILD=build/fuzz

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV750_BUILD_FUZZ=ON -DQV750_BUILD_TESTS=OFF -DQV750_BUILD_BENCH=OFF
cmake --build "$BUILD" --target fuzz_all -j "$(nproc)"

TARGETS="$*"
if [ -z "$TARGETS" ]; then
  for source in fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    [ -x "$BUILD/fuzz/$name" ] && TARGETS="$TARGETS $name"
  done
fi
[ -n "$TARGETS" ] || { echo "no fuzz targets were built"; exit 1; }

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for name in $TARGETS; do
  corpus="$BUILD/corpus/$name"
  findings="$BUILD/findings/$name"
  mkdir -p "$corpus" "$findings"
  seeds=""
  [ -d "fuzz/corpus/$name" ] && seeds="fuzz/corpus/$name"
  echo "== $name: ${SECONDS_PER_TARGET}s"
  if "$BUILD/fuzz/$name" -max_total_time="$SECONDS_PER_TARGET" -max_len=65536 -timeout=10 \
       -rss_limit_mb=4096 -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" $seeds; then
    echo "== $name: no findings"
  else
    echo "== $name: FAILED (see $findings)"
    status=1
  fi
done
exit $status
