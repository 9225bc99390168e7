#!/bin/bash
# The command lines of xtancar and xtdata: --help on standard output,
# --version with the version CMakeLists.txt sets, and a wrong argument
# refused with the usage on standard error and exit code 2 before the
# terminal is opened. Also that the manual pages name what --help names.
set -u
build=$1
src=$(cd "$(dirname "$0")/../.." && pwd)
for program in xtancar xtdata; do
  [ -x "$build/$program" ] || { echo "FAIL: $build/$program is not built"; exit 1; }
done
for tool in setsid script timeout; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done
version=$(sed -n 's/^project(xtancar VERSION \([0-9][0-9.]*\) .*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || { echo "FAIL: no VERSION in project() of CMakeLists.txt"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

# run PROGRAM ARG...: in a session of its own, without a controlling
# terminal, so a program that opened /dev/tty would fail instead; sets rc,
# out and err.
run() {
  timeout 20 setsid -w "$build/$@" </dev/null >"$dir/out" 2>"$dir/err"
  rc=$?
  out=$(cat "$dir/out")
  err=$(cat "$dir/err")
}

# PROGRAM | ARGUMENTS | exit code | standard output starts with | standard error holds
cases=(
  "xtancar|--help|0|usage: xtancar|"
  "xtancar|--version|0|xtancar $version|"
  "xtancar|-x|2||usage: xtancar"
  "xtancar|TAVROOT=/srv/tav/|2||usage: xtancar"
  "xtancar|--help --version|2||usage: xtancar"
  "xtancar|--versions|2||usage: xtancar"
  "xtancar|-h|2||usage: xtancar"
  "xtdata|--help|0|usage: xtdata|"
  "xtdata|--version|0|xtdata $version|"
  "xtdata|--bogus|2||xtdata --help shows the usage"
  "xtdata|frobnicate|2||xtdata --help shows the usage"
  "xtdata||2||xtdata --help shows the usage"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r program arguments code stdout stderr <<<"$entry"
  # shellcheck disable=SC2086  # the arguments split at blanks on purpose
  run "$program" $arguments
  what="$program $arguments"
  [ "$rc" = "$code" ] || fail "$what: exit code $rc, not $code${err:+ ($err)}"
  if [ -n "$stdout" ]; then
    [ "${out#"$stdout"}" != "$out" ] || fail "$what: standard output does not start with '$stdout': $out"
    [ -z "$err" ] || fail "$what: wrote to standard error: $err"
  else
    [ -z "$out" ] || fail "$what: wrote to standard output: $out"
  fi
  if [ -n "$stderr" ]; then
    grep -qF -- "$stderr" "$dir/err" || fail "$what: standard error lacks '$stderr': $err"
  fi
done

# --version is the one line "PROGRAM VERSION".
for program in xtancar xtdata; do
  run $program --version
  [ "$out" = "$program $version" ] || fail "$program --version printed '$out', not '$program $version'"
done

# The usage names every environment variable the program reads.
run xtancar --help
for variable in TAVROOT TAVTMP TERM ESCDELAY PGPASSFILE; do
  grep -qw "$variable" "$dir/out" || fail "xtancar --help does not name $variable"
done

# With a terminal there, a wrong argument leaves it as it was: no escape
# sequence (alternate screen, cursor, keypad mode) reaches it, only the
# usage.
# (A program that opened the terminal would wait there for a key: the
# timeout ends it.)
TERM=xterm timeout 20 script -qec "$build/xtancar --bogus" "$dir/typescript" >/dev/null 2>&1 </dev/null
grep -q "usage: xtancar" "$dir/typescript" || fail "xtancar --bogus in a terminal: no usage shown"
if grep -q $'\e' "$dir/typescript"; then
  fail "xtancar --bogus in a terminal sent escape sequences: $(od -c "$dir/typescript" | head -5)"
fi

# The manual pages document what the programs name: every command of
# xtdata --help, every environment variable of xtancar --help.
run xtdata --help
# (Lines of two blanks and a word; the examples' lines start with xtdata.)
for command in $(sed -n 's/^  \([a-z][a-z-]*\)\( .*\)\{0,1\}$/\1/p' "$dir/out" | grep -vx xtdata); do
  grep -qE "^\.BI? ${command//-/\\\\-}( |$)" "$src/man/xtdata.1" || fail "man/xtdata.1 has no entry for the command $command"
done
for variable in TAVROOT TAVTMP TERM ESCDELAY PGPASSFILE; do
  grep -A1 -x "\.TP" "$src/man/xtancar.1" | grep -qx "\.B $variable" || fail "man/xtancar.1 does not describe $variable"
done
exit $status
