#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) and cppcheck over the program's
# sources; any finding fails. Needs a configured build/ for
# compile_commands.json.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/compile_commands.json" ] || cmake -S . -B "$build" -G Ninja >/dev/null

mapfile -t sources < <(git ls-files 'src/*.cc' 'tools/*.cc')
echo "clang-tidy: ${#sources[@]} files"
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "${sources[@]/#/$PWD/}" >"$build/clang-tidy.log" 2>&1 || {
  grep -E 'warning:|error:' "$build/clang-tidy.log" | sort -u | head -50
  echo "clang-tidy found problems (full log: $build/clang-tidy.log)"
  exit 1
}

echo "cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ \
  --enable=warning,performance,portability --inline-suppr \
  --suppress=missingIncludeSystem -I src src tools
