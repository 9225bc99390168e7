#!/usr/bin/env bash
# Builds the Windows programs with the mingw-w64 cross compiler:
#
#   scripts/build-windows.sh [DIR]           DIR/xtancar.exe, DIR/xtdata.exe and
#                                            DIR/libpq.dll (DIR defaults to build-win)
#   scripts/build-windows.sh --tests [DIR]   also the unit tests, then runs them
#                                            under Wine (ctest in DIR)
#
# SQLite and libpq for Windows come from scripts/setup-deps.sh --windows
# (built once per machine into a cache outside DIR).
set -euo pipefail
cd "$(dirname "$0")/.."

tests=0
if [ "${1:-}" = --tests ]; then tests=1; shift; fi
[ $# -le 1 ] || { echo "usage: $0 [--tests] [DIR]" >&2; exit 2; }
dir=${1:-build-win}
jobs=${XT_JOBS:-$(nproc)}
[ "$jobs" -le 2 ] || jobs=2

deps=$(scripts/setup-deps.sh --windows)
tests_option=OFF
[ $tests = 0 ] || tests_option=ON
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DXT_WIN_DEPS="$deps" -DXT_TESTS=$tests_option >/dev/null
targets=(xtancar xtdata)
[ $tests = 0 ] || targets+=(xt_tests xt_wintests)
cmake --build "$dir" -j "$jobs" --target "${targets[@]}"

if [ $tests = 1 ]; then
  # The terminal tests under Wine share their installations with the Linux
  # programs of the ordinary build.
  cmake -S . -B build -G Ninja >/dev/null
  cmake --build build -j "$jobs" --target xtancar xtdata
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300)
fi
