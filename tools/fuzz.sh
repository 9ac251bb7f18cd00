#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) in build-fuzz/ and runs each for a while.
#
#   tools/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#
# Defaults: 20 seconds each, every target (announcement picture jpeg pcx
# loader). Corpora grow in build-fuzz/corpus/<target>; crashes are written
# to build-fuzz/findings/. Exits non-zero when a target found a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-20}
shift || true
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then TARGETS=(announcement picture jpeg pcx loader); fi
JOBS=${JOBS:-2}
BUILD=build-fuzz
SAN="-fsanitize=address,undefined -fno-sanitize-recover=undefined"

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBREVANE_FUZZ=ON -DBREVANE_TESTS=OFF -DBREVANE_GUI=OFF -DBREVANE_BENCHMARKS=OFF \
  -DCMAKE_C_FLAGS="$SAN -fsanitize=fuzzer-no-link" \
  -DCMAKE_CXX_FLAGS="$SAN -fsanitize=fuzzer-no-link" \
  -DCMAKE_EXE_LINKER_FLAGS="$SAN" >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target fuzz_make_seeds "${TARGETS[@]/#/fuzz_}"

mkdir -p "$BUILD/seeds" "$BUILD/findings"
"$BUILD/extras/fuzz/fuzz_make_seeds" "$BUILD/seeds"

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for t in "${TARGETS[@]}"; do
  corpus="$BUILD/corpus/$t"
  mkdir -p "$corpus"
  seeds="$BUILD/seeds/$t"
  log="$BUILD/findings/$t.log"
  echo "== fuzz_$t for ${SECONDS_EACH}s"
  if "$BUILD/extras/fuzz/fuzz_$t" "$corpus" "$seeds" -max_total_time="$SECONDS_EACH" \
      -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 -max_len=65536 -print_final_stats=1 \
      -artifact_prefix="$BUILD/findings/$t-" >"$log" 2>&1; then
    grep -E "stat::number_of_executed_units|cov:" "$log" | tail -2
  else
    echo "!! fuzz_$t found a fault; see $log"
    tail -40 "$log"
    status=1
  fi
done
exit $status
