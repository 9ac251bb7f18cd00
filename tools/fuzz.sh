#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) in build-fuzz/ and runs each for a while.
#
#   tools/fuzz.sh [SECONDS_PER_TARGET] [TARGET[:SECONDS]...]
#
# Defaults: 20 seconds each, every target (announcement picture jpeg pcx
# loader page_operations). A target named as TARGET:SECONDS runs for its own
# time, e.g. `tools/fuzz.sh 60 pcx:300 jpeg:1200` for a long run.
#
# Each target starts from the seeds kept in the repository (fuzz/corpus/<target>)
# and the ones fuzz_make_seeds writes; what it finds grows build-fuzz/corpus/<target>.
# Crashes are written to build-fuzz/findings/. At the end a table gives the
# executions, executions per second and coverage of every target. Exits
# non-zero when a target found a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-20}
shift || true
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  TARGETS=(announcement picture jpeg pcx loader page_operations)
fi
JOBS=${JOBS:-2}
BUILD=build-fuzz
SAN="-fsanitize=address,undefined -fno-sanitize-recover=undefined"

names=()
for spec in "${TARGETS[@]}"; do names+=("fuzz_${spec%%:*}"); done

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBREVANE_FUZZ=ON -DBREVANE_TESTS=OFF -DBREVANE_GUI=OFF -DBREVANE_BENCHMARKS=OFF \
  -DCMAKE_C_FLAGS="$SAN -fsanitize=fuzzer-no-link" \
  -DCMAKE_CXX_FLAGS="$SAN -fsanitize=fuzzer-no-link" \
  -DCMAKE_EXE_LINKER_FLAGS="$SAN" >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target fuzz_make_seeds "${names[@]}"

mkdir -p "$BUILD/seeds" "$BUILD/findings"
"$BUILD/extras/fuzz/fuzz_make_seeds" "$BUILD/seeds"

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
summary=()
for spec in "${TARGETS[@]}"; do
  t=${spec%%:*}
  secs=$SECONDS_EACH
  if [[ $spec == *:* ]]; then secs=${spec#*:}; fi
  binary=$(find "$BUILD" -name "fuzz_$t" -type f -perm -u+x | head -1)
  if [ -z "$binary" ]; then
    echo "!! no fuzz target named $t"
    status=1
    continue
  fi
  corpus="$BUILD/corpus/$t"
  mkdir -p "$corpus"
  seed_dirs=()
  for d in "fuzz/corpus/$t" "$BUILD/seeds/$t"; do
    if [ -d "$d" ]; then seed_dirs+=("$d"); fi
  done
  log="$BUILD/findings/$t.log"
  echo "== fuzz_$t for ${secs}s"
  result=ok
  # The working corpus comes first: libFuzzer adds new inputs only there,
  # so the kept seeds stay as they are.
  if ! "$binary" "$corpus" "${seed_dirs[@]}" -max_total_time="$secs" \
      -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 -max_len=65536 -print_final_stats=1 \
      -artifact_prefix="$BUILD/findings/$t-" >"$log" 2>&1; then
    echo "!! fuzz_$t found a fault; see $log"
    tail -40 "$log"
    status=1
    result=FAULT
  fi
  runs=$(grep -oE "stat::number_of_executed_units: *[0-9]+" "$log" | grep -oE "[0-9]+$" | tail -1)
  if [ -z "$runs" ]; then
    # A run cut short by a fault has no final statistics; take the last status line.
    runs=$(grep -oE "^#[0-9]+" "$log" | tr -d '#' | tail -1)
  fi
  runs=${runs:-0}
  cov=$(grep -oE "cov: [0-9]+" "$log" | grep -oE "[0-9]+" | tail -1)
  rate=$(grep -oE "exec/s: [0-9]+" "$log" | grep -oE "[0-9]+" | tail -1)
  printf '   %s executions, %s exec/s, coverage %s\n' "$runs" "${rate:-?}" "${cov:-?}"
  summary+=("$(printf '%-16s %8s %14s %10s %9s  %s' "$t" "$secs" "$runs" "${rate:-?}" "${cov:-?}" "$result")")
done

echo
printf '%-16s %8s %14s %10s %9s  %s\n' target seconds executions "exec/s" coverage result
for line in "${summary[@]}"; do echo "$line"; done
exit $status
