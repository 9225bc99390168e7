#!/usr/bin/env bash
# The Windows program under Wine in a real terminal (tmux, 80x25), on a
# demo installation that the Linux program uses too: an operator created,
# listed, edited and deleted from the Windows console, with the operator
# file, db.log, the lock file and .HTPASSWD checked after each step; then
# an installation handed between the builds, and both at once with the
# data on the PostgreSQL server.
# Usage: form_terminal.sh WINDOWS-BUILD-DIR LINUX-BUILD-DIR   (exit 1)
set -u
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 1; }
command -v openssl >/dev/null || { echo "openssl is not installed"; exit 1; }
win=$(cd "${1:?windows build}" && pwd)
linux=$(cd "${2:?linux build}" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
for f in "$win/xtancar.exe" "$win/wine-run" "$linux/xtancar" "$linux/xtdata"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "$f is not built"; exit 1; }
done

export LANG=C.UTF-8 LC_ALL=C.UTF-8
work=$(mktemp -d)
sock="xt-wine-$$"
printf 'set -g status off\n' >"$work/tmux.conf"
tm() { tmux -u -L "$sock" -f "$work/tmux.conf" "$@"; }
cleanup() {
  tm kill-server 2>/dev/null
  [ -n "${XT_PG_DIR:-}" ] || bash "$source_dir/scripts/pg-test-server.sh" stop "$work/pg" >/dev/null 2>&1
  [ -n "${XT_KEEP:-}" ] || rm -rf "$work"  # XT_KEEP=1 keeps the installations to look at
}
trap cleanup EXIT
# The PostgreSQL server of the test run, or one of the script's own.
pg_dir=${XT_PG_DIR:-}
if [ -z "$pg_dir" ]; then
  pg_dir=$work/pg
  bash "$source_dir/scripts/pg-test-server.sh" start "$pg_dir" >/dev/null || { echo "no PostgreSQL test server started"; exit 1; }
fi
pg_base=$(cat "$pg_dir/conninfo") || { echo "no connection string in $pg_dir/conninfo"; exit 1; }

fail() {
  local t
  {
    echo "FAIL [$scenario]: $*"
    for t in $(tm list-sessions -F '#{session_name}' 2>/dev/null); do
      echo "--- screen of $t:"
      tm capture-pane -p -t "$t" | sed 's/^/  | /'
    done
  } >&2
  exit 1
}

row() { tm capture-pane -p -t "$1" | sed -n "${2}p"; }
# Waits (at most $4 s, default 10: Wine starts slower than the Linux
# program) until row $2 of terminal $1 contains $3.
wait_row() {
  local i
  for i in $(seq $((${4:-10} * 20))); do
    row "$1" "$2" | grep -qF -- "$3" && return 0
    sleep 0.05
  done
  fail "row $2 of $1 never showed '$3'"
}
wait_screen() {
  local i
  for i in $(seq 400); do
    tm capture-pane -p -t "$1" | grep -qF -- "$2" && return 0
    sleep 0.05
  done
  fail "$1 never showed '$2'"
}
keys() { tm send-keys -t "$@"; }
typed() { tm send-keys -t "$1" -l "$2"; }
wait_screen_not() {
  local i
  for i in $(seq 200); do
    tm capture-pane -p -t "$1" | grep -qF -- "$2" || return 0
    sleep 0.05
  done
  fail "$1 kept showing '$2'"
}
wait_row_not() {
  local i
  for i in $(seq 200); do
    row "$1" "$2" | grep -qF -- "$3" || return 0
    sleep 0.05
  done
  fail "row $2 of $1 kept showing '$3'"
}
in_group1() { wait_row "$1" 24 "F4 Llista"; }
in_group2() { wait_row "$1" 24 "Enter Desa"; }

# Terminal $1 runs the form of build $2 (windows or linux) on installation
# $3 with session directory $3/$4 (default sessio); the Windows program
# gets its paths as a Windows user writes them.
run_form() {
  local line session=${4:-sessio}
  tm kill-session -t "$1" 2>/dev/null
  tm new-session -d -s "$1" -x 80 -y 25 "bash --norc --noprofile -i" || fail "tmux did not start"
  tm send-keys -t "$1" "PS1='SH> '" Enter
  wait_screen "$1" "SH>"
  if [ "$2" = windows ]; then
    local root="Z:${3//\//\\}\\"
    line="clear; TAVROOT='$root' TAVTMP='${root}$session\\' '$win/wine-run' '$win/xtancar.exe'; echo EXIT=\$?"
  else
    line="clear; TAVROOT='$3/' TAVTMP='$3/$session/' '$linux/xtancar'; echo EXIT=\$?"
  fi
  typed "$1" "$line"
  keys "$1" Enter
  wait_row "$1" 1 "MANTENIMENT D'OPERADORS" 30
  in_group1 "$1"
}
leave_form() {
  keys "$1" Escape
  wait_screen "$1" "EXIT=0"
}

fresh_install() {
  "$source_dir/scripts/install-demo.sh" "$linux" "$work/$1" >/dev/null || fail "install-demo failed"
  echo "$work/$1"
}
xtdata=$linux/xtdata
source "$source_dir/tests/installation_checks.sh"

# Code $2 with text $3 in terminal $1; Right on the level makes it
# RESTRINGIT.
store_operator() {
  typed "$1" "$2"
  keys "$1" Enter
  in_group2 "$1"
  typed "$1" "$3"
  keys "$1" Enter
  wait_row "$1" 8 "◄GENERAL   ►"
  keys "$1" Right
  wait_row "$1" 8 "◄RESTRINGIT►"
  keys "$1" Enter
  in_group1 "$1"
  wait_row "$1" 8 "RESTRINGIT"
}

scenario=
failures=0
# XT_SCENARIO=text runs only the scenarios whose name contains text.
scenario() {
  scenario=$1
  [[ "$1" == *"${XT_SCENARIO:-}"* ]] || return 0
  ("$2") || failures=$((failures + 1))
  tm kill-server 2>/dev/null
}

# Create, list, edit and delete from the Windows console.
windows_console() {
  local inst; inst=$(fresh_install win) || exit 1
  run_form a windows "$inst"
  typed a PAU
  keys a Enter
  in_group2 a
  wait_row a 4 "Codi d'operador:      PAU"
  expect_record "$inst" PAU "        |00" "created on leaving the code"
  expect_locks "$inst" "K PAU/" "while editing"
  typed a "Pau V"
  keys a Enter
  wait_row a 8 "◄GENERAL   ►"
  keys a Right
  wait_row a 8 "◄RESTRINGIT►"
  keys a Enter
  in_group1 a
  wait_row a 6 "Text de l'operador:   Pau V"
  expect_record "$inst" PAU "Pau V   |01" "stored"
  expect_log "$inst" "$log_insert$log_update"
  expect_locks "$inst" "" "after storing"
  expect_htpasswd "$inst" PAU >/dev/null

  # The list, box drawing and all; Down twice picks MARIA, whose text is
  # typed over.
  keys a F4
  wait_row a 3 "╔Codi      Text      Nivell═════════╗"
  wait_row a 7 "║NURIA     Núria S   RESTRINGIT     ║"
  wait_row a 9 "║PERE      Pere T    GENERAL        ║"
  keys a Down Down
  sleep 0.3
  keys a Enter
  wait_row a 4 "Codi d'operador:      MARIA"
  keys a Enter
  in_group2 a
  keys a C-y
  typed a "Maria W"
  keys a Enter Enter
  in_group1 a
  expect_record "$inst" MARIA "Maria W |00" "edited"
  expect_htpasswd "$inst" MARIA >/dev/null

  # F8 and S delete PAU: the record, its .HTPASSWD line and its lock go.
  typed a PAU
  keys a Enter
  in_group2 a
  keys a F8
  wait_row a 12 "Voleu esborrar aquest operador? ◄NO►"
  typed a S
  wait_row a 12 "◄SÍ►"
  keys a Enter
  in_group1 a
  expect_record "$inst" PAU "" "deleted"
  expect_no_htpasswd "$inst" PAU
  expect_locks "$inst" "" "after deleting"
  leave_form a
}

# One installation handed from one build to the other: what the Windows
# program wrote the Linux one reads and changes, and back. (Terminals of
# both kinds at the same time keep the data on the server: below.)
both_builds() {
  local inst; inst=$(fresh_install both) || exit 1
  run_form w windows "$inst"
  store_operator w WIN1 "Des de W"
  # The calculator keeps its tape in the session's TAVCALC.TMP.
  keys w M-x
  wait_screen w "└────────────────────────┘"
  typed w "12+3="
  wait_screen w "│                    15  │"
  tm capture-pane -p -t w | grep -qF "│                    12 +│" || fail "no tape on Windows"
  keys w Escape
  wait_screen_not w "│                    15  │"
  leave_form w
  run_form l linux "$inst"
  keys l M-x
  wait_screen l "│                    15  │"
  tm capture-pane -p -t l | grep -qF "│                    12 +│" || fail "the tape from Windows is not shown"
  keys l Escape
  wait_screen_not l "│                    15  │"
  keys l F4
  wait_row l 9 "║WIN1      Des de W  RESTRINGIT     ║"
  keys l Escape
  wait_row_not l 3 "╔"
  in_group1 l
  store_operator l LIN1 "Des de L"
  leave_form l
  run_form w windows "$inst"
  typed w LIN1
  keys w Enter
  in_group2 w
  wait_row w 6 "Text de l'operador:   Des de L"
  keys w C-y
  typed w "Canviat"
  keys w Enter Enter
  in_group1 w
  leave_form w
  expect_record "$inst" LIN1 "Canviat |01" "changed from Windows"
  expect_htpasswd "$inst" WIN1 >/dev/null
  expect_htpasswd "$inst" LIN1 >/dev/null
  [ "$(cut -d: -f1 "$inst/.HTPASSWD" | tr '\n' ' ')" = "ADMIN JORDI MARIA NURIA PERE WIN1 LIN1 " ] ||
    fail ".HTPASSWD users: $(cut -d: -f1 "$inst/.HTPASSWD" | tr '\n' ' ')"
  expect_log "$inst" "$log_insert$log_update$log_insert$log_update$log_update"
  "$linux/xtdata" stat "$inst/Operador" | grep -qx "records 7" || fail "xtdata stat: $("$linux/xtdata" stat "$inst/Operador")"
}

# The data on the PostgreSQL server (a schema of the scenario's own): a
# Windows and a Linux terminal at the same time, each with its own session
# directory (its own lock identity); the record one edits makes the other
# wait.
on_the_server() {
  local inst conn schema="wine_terminal_$$"
  local message="FITXER BLOQUEJAT. ESPEREU UN MOMENT O POLSEU [ESC] PER A EIXIR."
  inst=$(fresh_install server) || exit 1
  psql "$pg_base" -qc "CREATE SCHEMA $schema" || fail "no schema on the test server"
  conn="$pg_base application_name=wine_terminal options='-c search_path=$schema'"
  (cd "$inst" && TAVROOT="$inst/" "$linux/xtdata" --server "$conn" copy Operador server:Operador >/dev/null) ||
    fail "the operators were not copied to the server"
  rm "$inst/Operador.dat"
  sed -i "/^\[Dades\]/a Servidor=$conn" "$inst/Vexa.ini"
  cp -r "$inst/sessio" "$inst/sessio2"

  run_form w windows "$inst"
  store_operator w WIN1 "Des de W"
  run_form l linux "$inst" sessio2
  keys l F4
  wait_row l 9 "║WIN1      Des de W  RESTRINGIT     ║"
  keys l Escape
  wait_row_not l 3 "╔"
  in_group1 l

  # Linux edits WIN1; Windows asks for it, waits, gives up with Esc, asks
  # again and gets it as Linux stored it.
  typed l WIN1
  keys l Enter
  in_group2 l
  expect_locks "$inst" "K WIN1/"
  typed w WIN1
  keys w Enter
  wait_row w 22 "$message"
  keys w Escape
  in_group1 w
  keys w Enter
  wait_row w 22 "$message"
  keys l C-y
  typed l "Des de L"
  keys l Enter Enter
  in_group1 l
  in_group2 w
  wait_row w 6 "Text de l'operador:   Des de L"
  keys w Escape
  in_group1 w
  leave_form w
  leave_form l
  [ "$(cd "$inst" && TAVROOT="$inst/" "$linux/xtdata" dump server:Operador 2>/dev/null | grep -c '^@')" = 6 ] ||
    fail "the server does not hold the six operators"
  expect_htpasswd "$inst" WIN1 >/dev/null
  psql "$pg_base" -qc "DROP SCHEMA $schema CASCADE" >/dev/null 2>&1
}

scenario "the Windows console" windows_console
scenario "one installation handed between the builds" both_builds
scenario "both builds at once on the server" on_the_server
[ "$failures" = 0 ] || { echo "$failures scenario(s) failed"; exit 1; }
echo "all scenarios passed"
