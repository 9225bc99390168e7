#!/bin/bash
# The data-file tool end to end: dictionary, create, load, dump, stat,
# owner, and the exit codes of bad requests.
set -u
build=$1
x="$build/xtdata"
[ -x "$x" ] || { echo "$x is not built"; exit 1; }
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

# Another process that keeps the file open: an SQLite client reading its
# statements from a pipe. hold FILE SQL starts it and waits for SQL's answer.
hold() {
  rm -f hold.fifo held.txt
  mkfifo hold.fifo
  sqlite3 "$1" < hold.fifo > held.txt &
  holder=$!
  exec 3>hold.fifo
  echo "$2" >&3
  for _ in $(seq 50); do [ -s held.txt ] && break; sleep 0.1; done
  [ -s held.txt ] || fail "the SQLite client did not open $1"
}

if command -v sqlite3 >/dev/null; then
  # --replace refuses while another process has the file open, and
  # replaces it once that process has ended.
  hold Copy.dat "SELECT count(*) FROM records;"
  "$x" create Copy Op.xdf --replace 2>err.txt; [ $? -eq 1 ] || fail "replaced a file in use"
  grep -q "status 85.*another process has the file open" err.txt || fail "replace refusal message"
  exec 3>&-
  wait "$holder"
  "$x" stat Copy | grep -q "^records 2" || fail "the refused replace changed the file"
  "$x" create Copy Op.xdf --replace >/dev/null || fail "replace of a file nobody has open"
  "$x" stat Copy | grep -q "^records 0" || fail "replace kept the records"

  # A process killed with the file open leaves its journal; the file is then
  # deleted. The file created anew under the name starts empty.
  "$x" create Left Op.xdf >/dev/null || fail "create Left"
  hold Left.dat "INSERT INTO records(data, k0) VALUES(x'41', x'41'), (x'42', x'42'); SELECT 'stored';"
  kill -9 "$holder"
  wait "$holder" 2>/dev/null
  exec 3>&-
  [ -s Left.dat-wal ] || fail "the killed client left no journal"
  rm Left.dat
  "$x" create Left Op.xdf >/dev/null || fail "create over a left journal"
  "$x" stat Left | grep -q "^records 0" || fail "the left journal was replayed into the new file"
fi

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
