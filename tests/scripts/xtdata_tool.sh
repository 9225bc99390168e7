#!/bin/bash
# The data-file tool end to end: dictionary, create, load, dump, stat,
# owner, copy, the same on tables of a PostgreSQL server, and the exit codes
# of bad requests. The server is the one ctest names in XT_PG_DIR; run by
# hand, the script starts one of its own.
set -u
build=$1
x="$build/xtdata"
[ -x "$x" ] || { echo "$x is not built"; exit 1; }
src=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(mktemp -d)
own_server=""
schema=""
cleanup() {
  [ -n "$schema" ] && psql "$base" -qc "DROP SCHEMA $schema CASCADE" >/dev/null 2>&1
  [ -n "$own_server" ] && bash "$src/scripts/pg-test-server.sh" stop "$own_server" >/dev/null 2>&1
  rm -rf "$dir"
}
trap cleanup EXIT
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

# Another process that keeps a file open: a client (sqlite3, psql) reading
# its statements from a pipe. hold SQL COMMAND... starts it and waits for
# SQL's answer.
hold() {
  local sql=$1
  shift
  rm -f hold.fifo held.txt
  mkfifo hold.fifo
  "$@" < hold.fifo > held.txt &
  holder=$!
  exec 3>hold.fifo
  echo "$sql" >&3
  for _ in $(seq 50); do [ -s held.txt ] && break; sleep 0.1; done
  [ -s held.txt ] || fail "$* did not answer"
}

command -v sqlite3 >/dev/null || fail "sqlite3 is not installed"
# --replace refuses while another process has the file open, and
# replaces it once that process has ended.
hold "SELECT count(*) FROM records;" sqlite3 Copy.dat
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
hold "INSERT INTO records(data, k0) VALUES(x'41', x'41'), (x'42', x'42'); SELECT 'stored';" sqlite3 Left.dat
kill -9 "$holder"
wait "$holder" 2>/dev/null
exec 3>&-
[ -s Left.dat-wal ] || fail "the killed client left no journal"
rm Left.dat
"$x" create Left Op.xdf >/dev/null || fail "create over a left journal"
"$x" stat Left | grep -q "^records 0" || fail "the left journal was replayed into the new file"

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

# copy between files on the disk: a file is never copied into itself, and
# only by a key it has.
"$x" copy Op ./Op.dat 2>err.txt; [ $? -eq 1 ] || fail "copy into itself"
grep -q "the same file" err.txt || fail "copy into itself message"
"$x" copy Op Op3 --key 1 2>/dev/null; [ $? -eq 2 ] || fail "copy by a missing key"
[ -e Op3.dat ] && fail "a refused copy made its file"

# A dump of records given as text, one argument each.
dump_of() {
  local n=0 r
  for r in "$@"; do
    n=$((n + 1))
    echo "@$n"
    printf '%s' "$r" | od -An -tx1 -v -w16 |
      awk '{ printf "%04X:", (NR - 1) * 16; for (i = 1; i <= NF; i++) printf " %s", toupper($i); print "" }'
  done
}
# The records of a data file in the order of its key 0, without positions.
records() { "$x" dump "$@" 2>/dev/null | grep -v '^[#@]'; }

# Data files on the installation's server: the demo installation's operator
# file moved to the server and back. Its tables go in a schema of this
# test's own.
if [ -n "${XT_PG_DIR:-}" ]; then
  pgdir=$XT_PG_DIR
else
  own_server=$dir/pg
  pgdir=$own_server
  bash "$src/scripts/pg-test-server.sh" start "$pgdir" >/dev/null 2>&1 || fail "no PostgreSQL test server started"
fi
base=$(cat "$pgdir/conninfo" 2>/dev/null)
[ -n "$base" ] || fail "no connection string in $pgdir/conninfo"
psql "$base" -qc "CREATE SCHEMA xtdata_$$" || fail "no schema of the test's own"
schema=xtdata_$$
# Named, the tool's connections are not taken for those of a terminal that
# another test ends on the same server.
server="$base application_name=xtdata_tool options='-c search_path=$schema'"
sql() { psql "$server" -Atc "$1"; }

mkdir inst
cp -r "$src/demo/." inst/
export TAVROOT=$dir/inst/
cd inst
"$x" create Operador >/dev/null || fail "create the demo operator file"
dump_of "PERE    000000003" "ANNA    000000001" "JOAN    000000002" > ops.txt
"$x" load Operador ops.txt >/dev/null || fail "load the demo operator file"

# server: names need TAVROOT and a server.
env -u TAVROOT "$x" stat server:Operador 2>err.txt; [ $? -eq 2 ] || fail "server: without TAVROOT"
grep -q "TAVROOT" err.txt || fail "server: without TAVROOT message"
"$x" stat server:Operador 2>err.txt; [ $? -eq 1 ] || fail "server: without a server"
grep -q "no data server.*--server.*Servidor" err.txt || fail "server: without a server message"

# To the server, named by --server: the table is named after the file's
# place in the installation.
"$x" --server "$server" copy Operador server:Operador > out.txt || fail "copy to the server"
grep -q "^3 records copied from Operador.dat into server:operador.dat" out.txt || fail "copy report"
[ "$(sql "SELECT name, records FROM xt_files")" = "operador.dat|3" ] || fail "the server's table"

# From here on Vexa.ini names the server. The table has the file's layout
# and records, in the same key order (the positions are new).
# (the demo's Vexa.ini has the [Dades] section, with the key commented out)
sed -i "/^\[Dades\]/a Servidor=$server" Vexa.ini
grep -aq "^Servidor=" Vexa.ini || fail "no [Dades] section in the demo's Vexa.ini"
"$x" stat Operador | tail -n +2 > local.txt
"$x" stat server:Operador | tail -n +2 | diff local.txt - >/dev/null || fail "the server's layout"
[ "$(records Operador)" = "$(records server:Operador)" ] || fail "the server's records"
records server:Operador | head -n 1 | grep -q "ANNA" || fail "the server's key order"

# load into the server's table; the same table from another directory and
# through a link to the installation.
dump_of "BERTA   000000004" > more.txt
"$x" load server:Operador more.txt >/dev/null || fail "load into the server"
cd "$dir"
"$x" stat server:inst/Operador > stat.txt || fail "server: name from another directory"
head -n 2 stat.txt | tr '\n' ' ' | grep -qx "file server:operador.dat records 4 " || fail "load on the server"
ln -s inst link
(cd link && TAVROOT=$dir/link/ "$x" stat server:Operador | head -n 1 | grep -qx "file server:operador.dat") ||
  fail "installation reached through a link"
cd inst

# And back: into a new file with the server's layout; into the operator
# file, whose records clash until --replace empties it.
"$x" copy server:Operador Back >/dev/null || fail "copy from the server"
[ "$("$x" stat Back | tail -n +3)" = "$(tail -n +2 local.txt)" ] || fail "the layout copied back"
[ "$(records Back)" = "$(records server:Operador)" ] || fail "the records copied back"
"$x" copy server:Operador Operador 2>err.txt; [ $? -eq 1 ] || fail "copy onto clashing records"
grep -q "record @[0-9]* of server:operador.dat" err.txt && grep -q "ANNA" err.txt && grep -q "duplicate key" err.txt ||
  fail "the record that failed"
"$x" copy server:Operador Operador --replace > out.txt || fail "copy back with --replace"
grep -q "^4 records copied" out.txt || fail "copy back report"
[ "$(records Operador)" = "$(records server:Operador)" ] || fail "the operator file copied back"
"$x" copy server:Operador server:Copia >/dev/null || fail "copy on the server"
[ "$(records server:Copia)" = "$(records Operador)" ] || fail "the records copied on the server"

# Duplicates keep their order in the key the copy goes by, there and back.
"$x" dictionary Dup.xdf --record 6 --key 0:2:string:dup --key 4:1:string:dup >/dev/null || fail "dup dictionary"
"$x" create Dup Dup.xdf >/dev/null || fail "create Dup"
dump_of "BB-1a" "AA-1b" "AA-2a" "AA-3b" | sed 's/^\(0000:.*\)$/\1 0A/' > dup.txt
"$x" load Dup dup.txt >/dev/null || fail "load Dup"
text() { "$x" dump "$@" 2>/dev/null | awk '/^0000:/ { printf "%s ", $NF }'; }
[ "$(text Dup --key 0)" = "AA-1b. AA-2a. AA-3b. BB-1a. " ] || fail "Dup's order by key 0"
[ "$(text Dup --key 1)" = "BB-1a. AA-2a. AA-1b. AA-3b. " ] || fail "Dup's order by key 1"
for key in 0 1; do
  "$x" copy Dup server:Dup$key --key $key >/dev/null && "$x" copy server:Dup$key Dup$key --key $key >/dev/null ||
    fail "copy Dup there and back by key $key"
  [ "$(text server:Dup$key --key $key)" = "$(text Dup --key $key)" ] || fail "duplicates on the server by key $key"
  [ "$(text Dup$key --key $key)" = "$(text Dup --key $key)" ] || fail "duplicates copied back by key $key"
done

# A table of another layout is never copied into, --replace or not.
"$x" dictionary Other.xdf --record 20 --key 0:4:integer >/dev/null || fail "other dictionary"
"$x" create server:Other Other.xdf >/dev/null || fail "create on the server"
for replace in "" --replace; do
  "$x" copy Operador server:Other $replace 2>err.txt; [ $? -eq 1 ] || fail "copy onto another layout $replace"
  grep -q "server:other.dat exists with another layout than Operador.dat" err.txt || fail "another layout message"
done
"$x" stat server:Other | head -n 3 | tail -n 2 | tr '\n' ' ' | grep -qx "records 0 record length 20 " ||
  fail "the refused copy changed the table"

# Owner names on the server; a copied file keeps the program's.
"$x" owner server:Operador SECRET >/dev/null || fail "owner on the server"
"$x" stat server:Operador 2>err.txt; [ $? -eq 1 ] || fail "a table opened with a wrong owner"
grep -q "owner" err.txt || fail "wrong owner message on the server"
"$x" owner server:Operador --program >/dev/null && "$x" stat server:Operador >/dev/null || fail "program owner on the server"
"$x" copy server:Operador Owned >/dev/null || fail "copy of a file with an owner name"
owner=$(sql "SELECT upper(encode(owner, 'hex')) FROM xt_files WHERE name = 'operador.dat'")
[ -n "$owner" ] && [ "$(sqlite3 Owned.dat "SELECT hex(value) FROM file_info WHERE name = 'owner'")" = "$owner" ] ||
  fail "the owner name copied"
"$x" owner server:Operador --clear >/dev/null || fail "clear the owner on the server"
[ "$(sql "SELECT owner IS NULL FROM xt_files WHERE name = 'operador.dat'")" = t ] || fail "owner cleared on the server"
"$x" owner server:Missing --clear 2>/dev/null; [ $? -eq 1 ] || fail "owner of a missing table"

# --replace waits for the terminals that have the table open (they hold
# its open lock: the lock class of the schema and table, key 0) and gives
# up after the busy time.
class=$(python3 -c '
import sys
h = 2166136261
for b in sys.argv[1].encode():
    h = ((h ^ b) * 16777619) % 2**32
print(h - 2**32 if h >= 2**31 else h)' "$schema.operador.dat")
hold "SELECT pg_advisory_lock_shared($class, 0); SELECT 'held';" psql "$server" -Atq
"$x" copy Back server:Operador --replace 2>err.txt; [ $? -eq 1 ] || fail "replaced a table a terminal has open"
grep -q "status 85.*another process has the file open" err.txt || fail "replace refusal message on the server"
exec 3>&-
wait "$holder"
[ "$(sql "SELECT records FROM xt_files WHERE name = 'operador.dat'")" = 4 ] || fail "the refused replace changed the table"
"$x" copy Back server:Operador --replace >/dev/null || fail "replace once the terminal is gone"

# new-installation: the template beside the build (CMake copies demo/ to
# share/xtancar/installation), the group on everything, group-writable,
# set-group-id directories; no operator file until the form makes it.
cd "$dir"
unset TAVROOT
"$x" new-installation New >out.txt || fail "new-installation"
for f in Vexa.ini FORMS/XTANCAR.JPN LOCALE/XTANCAR.LNG AJUDA/XTANCAR.HLP ddf/Operador.xdf sessio/Sessio.ini; do
  cmp -s "New/$f" "$src/demo/$f" || fail "new-installation: $f"
done
[ -e New/Operador.dat ] && fail "new-installation made the operator file"
[ "$(find New -type d ! -perm 2775 ! -perm 2770 | wc -l)" = 0 ] || fail "directories not group-writable and set-group-id"
[ "$(find New -type f ! -perm -0660 | wc -l)" = 0 ] || fail "files not group-writable"
[ "$(find New ! -group "$(id -g)" | wc -l)" = 0 ] || fail "files not of the caller's group"
# Never over an existing installation; nothing half made beside it.
"$x" new-installation New 2>err.txt; [ $? -eq 1 ] || fail "new-installation over an installation"
grep -q "not empty" err.txt || fail "new-installation refusal message"
"$x" new-installation New2 --group no-such-group-xt 2>err.txt; [ $? -eq 1 ] || fail "unknown group"
ls | grep -q "^New2" && fail "a refused new-installation left something"
# A program with no template beside it names --template; --template and
# --group given.
mkdir bin && cp "$x" bin/xtdata
bin/xtdata new-installation New3 2>err.txt; [ $? -eq 1 ] || fail "no template"
grep -q "no installation template at $dir/share/xtancar/installation: give it with --template" err.txt ||
  fail "no template message: $(cat err.txt)"
group=$(getent group users >/dev/null && [ "$(id -u)" = 0 ] && echo users || id -gn)
bin/xtdata new-installation New3 --template "$src/demo" --group "$group" >/dev/null || fail "--template"
[ "$(stat -c %G New3/sessio/VexaTerm.ini)" = "$group" ] || fail "--group"

# locks: nothing yet; then records of each kind, read while another
# process holds the lock file the way a terminal does (fcntl).
(cd New && "$x" locks) | grep -q "^no lock files" || fail "locks without LOCKS/"
lockrec() { printf '%-15s%-11s%-8s%s%-2s%-40s%-2s%-40s\r\n' "$@"; }
mkdir New/LOCKS
{
  lockrec TERMINAL1 1001 99999999 K 8 "ANNA    " 8 "ANNA    "
  lockrec "" "" 100 " " 4 PERE 4 PERE
  lockrec HOST2 -77 100 F 0 "" 0 ""
} > New/LOCKS/Operador.lck
cp New/LOCKS/Operador.lck lck.before
python3 -c '
import fcntl, sys, time
f = open(sys.argv[1], "r+")
fcntl.lockf(f, fcntl.LOCK_EX)
print("held", flush=True)
time.sleep(30)' New/LOCKS/Operador.lck > held.txt &
holder=$!
for _ in $(seq 50); do [ -s held.txt ] && break; sleep 0.1; done
[ -s held.txt ] || fail "the lock file was not held"
TAVROOT=$dir/New/ timeout 10 "$x" locks Operador > locks.txt || fail "locks while a terminal holds the file"
kill "$holder"; wait "$holder" 2>/dev/null
grep -q "Operador.lck: 3 records" locks.txt || fail "locks: count"
grep -q '^    1  held   K  TERMINAL1        1001 .* min  "ANNA    " .. "ANNA    "$' locks.txt || fail "locks: held record"
grep -q '^    2  free$' locks.txt || fail "locks: free record"
grep -q '^    3  stale  F  HOST2            -77 .*(whole file)$' locks.txt || fail "locks: stale record"
cmp -s lck.before New/LOCKS/Operador.lck || fail "locks changed the lock file"
(cd New && "$x" locks) | grep -q "Operador.lck: 3 records" || fail "locks of the current directory"

# Progress: never when standard error is not a terminal; on a terminal
# (script's pseudo-terminal) a line redrawn with carriage returns.
awk 'BEGIN { for (i = 0; i < 60000; i++) { printf "@%d\n0000:", i + 1; s = sprintf("%08d%09d", i, i)
             for (j = 1; j <= 16; j++) printf " %02X", 48 + substr(s, j, 1); printf "\n0010: %02X\n", 48 + substr(s, 17, 1) } }' > big.txt
"$x" create Big Op.xdf >/dev/null && "$x" load Big big.txt 2>err.txt >/dev/null || fail "load a large file"
grep -q $'\r' err.txt && fail "progress written to a file"
"$x" dump Big 2>err.txt >/dev/null && ! grep -q $'\r' err.txt || fail "progress of dump written to a file"
"$x" create Big2 Op.xdf >/dev/null
script -qec "$x load Big2 big.txt" /dev/null > tty.txt || fail "load on a terminal"
grep -aq $'\r[0-9]*/60000 records loaded ([0-9]*%), [0-9]*/s, [0-9:]* left' tty.txt || fail "no progress on a terminal"
grep -aq $'\r *\r60000 records loaded into Big2.dat' tty.txt || fail "the progress line not cleared"
script -qec "$x copy Big Big3 >/dev/null" /dev/null | grep -aq "records copied (" || fail "no progress of copy"

# The new installation works at once: the form stores an operator in it
# (making the operator file), and the lock is freed.
rm -r New/LOCKS
command -v tmux >/dev/null || fail "tmux is not installed"
sock="xtdata-tool-$$"
tm() { tmux -u -L "$sock" "$@"; }
screen_has() {
  for _ in $(seq 50); do tm capture-pane -p -t a | grep -q "$1" && return 0; sleep 0.1; done
  return 1
}
tm new-session -d -s a -x 80 -y 25 "bash --norc --noprofile -i" || fail "tmux did not start"
tm send-keys -t a -l "umask 002; cd $dir/New && TAVROOT=$dir/New/ TAVTMP=$dir/New/sessio/ $build/xtancar; echo EXIT=\$?"
tm send-keys -t a Enter
screen_has "Codi d'operador:" || { tm kill-server; fail "the form did not start in the new installation"; }
tm send-keys -t a -l PAU; tm send-keys -t a Enter
screen_has "Text de l'operador:" && tm send-keys -t a -l "Pau V" && tm send-keys -t a Enter
sleep 0.5; tm send-keys -t a Enter
screen_has "Text de l'operador:   Pau V" || { tm kill-server; fail "the operator was not stored"; }
tm send-keys -t a Escape
screen_has "EXIT=0" || { tm kill-server; fail "the form did not end"; }
tm kill-server
(cd New && "$x" dump Operador 2>/dev/null) | grep -q "PAU     Pau V" || fail "the operator file of the new installation"
[ "$(stat -c %G New/Operador.dat)" = "$(id -gn)" ] && [ -n "$(find New/Operador.dat -perm -0660)" ] ||
  fail "the operator file is not the installation group's"
(cd New && "$x" locks Operador) | grep -q '^    1  free$' || fail "the operator's lock not freed"

# The generated demo dictionary is the one in the source tree.
cd "$src"
"$x" dictionary "$dir/Operador.xdf" --record 17 --key 0:8:string >/dev/null
cmp -s "$dir/Operador.xdf" demo/ddf/Operador.xdf || fail "demo/ddf/Operador.xdf is not what the tool generates"
echo "xtdata tool: ok"
