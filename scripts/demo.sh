#!/usr/bin/env bash
# Builds the program and starts the form on a fresh copy of the demo
# installation in a scratch directory, with a few operators already in it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target xtancar xtdata >/dev/null
scratch=$(mktemp -d "${TMPDIR:-/tmp}/xtancar-demo.XXXXXX")
scripts/install-demo.sh build "$scratch"
export TAVROOT="$scratch/"
export TAVTMP="$scratch/sessio/"
echo "Demo installation: $scratch"
status=0
build/xtancar || status=$?
echo "Demo installation kept in $scratch (exit code $status)"
exit $status
