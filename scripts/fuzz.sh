#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a bounded time, two at a
# time. Seeds come from the demo installation and fuzz/seeds/<target>/;
# inputs that once failed are kept in fuzz/regressions/<target>/ and are
# replayed first. Any crash, leak, sanitizer report or model mismatch fails.
#
#   scripts/fuzz.sh [seconds per target] [target...]
# FUZZ_SECONDS sets the default time (60).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-60}}
shift || true

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DXT_FUZZ=ON -DXT_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*_fuzz.cc; do t=$(basename "$f" .cc); targets+=("${t%_fuzz}"); done
fi

# Scratch installations live in memory when possible: the file-based
# targets are bound by file creation.
[ -d /dev/shm ] && export TMPDIR=/dev/shm
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The server engine's target runs against one throwaway PostgreSQL server,
# started here so that a crashing target cannot leave it behind.
for t in "${targets[@]}"; do
  if [ "$t" = engine_server_diff ]; then
    scripts/pg-test-server.sh start "$work/pg" >/dev/null || { echo "FAIL: the PostgreSQL test server did not start"; exit 1; }
    trap 'scripts/pg-test-server.sh stop "$work/pg" >/dev/null 2>&1; rm -rf "$work"' EXIT
    export XT_PG_DIR="$work/pg"
  fi
done

seed_dirs() {
  local t=$1
  [ -d "fuzz/seeds/$t" ] && echo "fuzz/seeds/$t"
  [ -d "fuzz/regressions/$t" ] && echo "fuzz/regressions/$t"
  case $t in
    engine_server_diff) echo fuzz/seeds/engine_diff ;;
    ini) echo demo/sessio; echo "$work/demo-ini" ;;
    form) echo demo/FORMS ;;
    message) echo demo/LOCALE ;;
    help) echo demo/AJUDA ;;
  esac
  return 0
}
mkdir -p "$work/demo-ini" && cp demo/Vexa.ini "$work/demo-ini/"

run_one() {
  local t=$1 log="$work/$1.log" corpus="$work/corpus-$1"
  mkdir -p "$corpus" "$work/artifacts-$1"
  # Replay the kept failures first: each must pass now.
  if [ -d "fuzz/regressions/$t" ] && [ -n "$(ls -A "fuzz/regressions/$t")" ]; then
    if ! "build-fuzz/${t}_fuzz" "fuzz/regressions/$t"/* >"$work/$t.replay.log" 2>&1; then
      echo "FAIL $t: a kept regression input fails again"; tail -30 "$work/$t.replay.log"; return 1
    fi
  fi
  # shellcheck disable=SC2046
  if "build-fuzz/${t}_fuzz" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
       -artifact_prefix="$work/artifacts-$t/" -print_final_stats=1 \
       "$corpus" $(seed_dirs "$t") >"$log" 2>&1; then
    local runs cov
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
    echo "ok   $t: $runs runs, $cov"
  else
    echo "FAIL $t (the failing input is kept under fuzz/regressions/$t/)"
    mkdir -p "fuzz/regressions/$t"
    cp "$work/artifacts-$t"/* "fuzz/regressions/$t/" 2>/dev/null || true
    grep -E 'ERROR|SUMMARY|mismatch|==[0-9]+==' "$log" | head -20
    return 1
  fi
}

status=0
pids=()
running=0
for t in "${targets[@]}"; do
  run_one "$t" &
  pids+=($!)
  running=$((running + 1))
  if [ "$running" -ge 2 ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
exit $status
