#!/bin/bash
# The data-file tool end to end: dictionary, create, load, dump, stat,
# owner, and the exit codes of bad requests.
set -u
build=$1
x="$build/xtdata"
[ -x "$x" ] || exit 77
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
fail() { echo "FAIL: $*"; exit 1; }

"$x" --help | grep -q "usage: xtdata" || fail "help"
"$x" dictionary Op.xdf --record 17 --key 0:8:string >/dev/null || fail "dictionary"
"$x" create Op Op.xdf >/dev/null || fail "create"
[ -f Op.dat ] || fail "create made no Op.dat"
"$x" create Op Op.xdf 2>/dev/null && fail "create replaced an existing file"

printf '@1\n0000: 42 42 42 42 20 20 20 20 62 62 20 20 20 20 20 20  BBBB    bb      \n0010: 47                                               G\n@2\n0000: 41 41 41 41 20 20 20 20 61 61 20 20 20 20 20 20  AAAA    aa      \n0010: 52                                               R\n' > in.txt
"$x" load Op in.txt >/dev/null || fail "load"
"$x" dump Op > out.txt 2>/dev/null || fail "dump"
grep -A1 '^@' out.txt | grep -q "^0000: 41 41 41 41" || fail "dump order"
"$x" stat Op | grep -q "^records 2" || fail "stat count"

# The dump loads back into a fresh file and dumps the same.
"$x" create Copy Op.xdf >/dev/null || fail "create copy"
"$x" load Copy out.txt >/dev/null || fail "reload"
"$x" dump Copy 2>/dev/null | grep -v '^[#@]' > copy.txt
grep -v '^[#@]' out.txt | diff - copy.txt >/dev/null || fail "reloaded dump differs"

# Bad input: nonzero exit codes and a message.
"$x" load Op in.txt 2>err.txt; [ $? -eq 1 ] || fail "duplicate load exit code"
grep -q "duplicate key" err.txt || fail "duplicate load message"
"$x" dictionary bad.xdf --record 10 --key 5:8:string 2>/dev/null; [ $? -eq 1 ] || fail "key outside record"
"$x" dictionary bad.xdf --record 10 --key 0:8:float 2>/dev/null; [ $? -eq 2 ] || fail "unknown type"
"$x" stat Missing 2>/dev/null; [ $? -eq 1 ] || fail "missing file"
printf 'garbage\n' > bad.txt
"$x" load Op bad.txt 2>/dev/null; [ $? -eq 1 ] || fail "bad dump"
"$x" frobnicate 2>/dev/null; [ $? -eq 2 ] || fail "unknown command"

# Owner name: another name cannot open the file; cleared, it opens again.
"$x" owner Op SECRET >/dev/null || fail "owner"
"$x" stat Op 2>err.txt; [ $? -eq 1 ] || fail "opened with a wrong owner"
grep -q "owner" err.txt || fail "owner message"
"$x" owner Op --program >/dev/null && "$x" stat Op >/dev/null || fail "program owner"
"$x" owner Op --clear >/dev/null && "$x" stat Op >/dev/null || fail "clear owner"

# The generated demo dictionary is the one in the source tree.
cd - >/dev/null
"$x" dictionary "$dir/Operador.xdf" --record 17 --key 0:8:string >/dev/null
cmp -s "$dir/Operador.xdf" demo/ddf/Operador.xdf || fail "demo/ddf/Operador.xdf is not what the tool generates"
echo "xtdata tool: ok"
