#!/usr/bin/env bash
# Builds everything and runs every test: the unit, scenario and terminal
# tests; the Windows build with its unit tests under Wine; the Debian
# package, with the terminal and web-server tests on what it installs, and
# the Windows archive; static analysis
# (clang-tidy, cppcheck); the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer; and every fuzz target for a bounded time
# (FUZZ_SECONDS, default 60 each).
#
# XT_QUICK=1 runs only the ordinary build and its tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
jobs=$(nproc)
started=$SECONDS
step() { echo; echo "== $* ($((SECONDS - started)) s)"; }

step "build"
cmake -S . -B build -G Ninja -DXT_TESTS=ON -DXT_BENCH=ON >/dev/null
cmake --build build -j "$jobs"

step "tests"
(cd build && ctest --output-on-failure -j "$jobs")

if [ "${XT_QUICK:-0}" = 1 ]; then exit 0; fi

step "Windows build and tests under Wine"
scripts/build-windows.sh --tests build-win

step "Debian package"
# The packages from a clean Release build (scripts/package.sh; lintian's
# errors fail it), then the terminal test on the programs and the template
# unpacked from the .deb, and the web-server test with the unpacked Apache
# snippet (and the build's intranet_driver, which the package has not).
rm -rf build-packages
scripts/package.sh build-packages
root=build-packages/root
dpkg -x build-packages/xtancar_*_"$(dpkg --print-architecture)".deb "$root"
XT_TEMPLATE_DIR=$PWD/$root/usr/share/xtancar/installation bash tests/scripts/form_terminal.sh "$root/usr/bin"
bash tests/scripts/intranet_apache.sh build "$root/usr/share/xtancar/apache/xtancar-intranet.conf"
# The unpacked xtdata finds the template beside it; a second call is refused.
rm -rf build-packages/new && "$root/usr/bin/xtdata" new-installation build-packages/new >/dev/null
[ -f build-packages/new/FORMS/XTANCAR.JPN ] && [ -d build-packages/new/sessio ] ||
  { echo "new-installation laid out no form or session"; exit 1; }
if "$root/usr/bin/xtdata" new-installation build-packages/new 2>/dev/null; then
  echo "new-installation did not refuse an existing installation"; exit 1
fi

step "static analysis"
scripts/static-analysis.sh build

step "tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DXT_TESTS=ON -DXT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j "$jobs")

step "fuzz targets"
scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

step "done"
