#!/usr/bin/env bash
# The operator form in a real terminal (tmux, 80x25) against fresh demo
# installations: creating, browsing and picking, editing and deleting
# operators with the keyboard and the mouse; the calendar and the calculator
# typing into a field; leaving with Esc; two terminals contending for one
# record; termination signals while an operator is being edited. After each
# step the screen, the operator file, db.log, .HTPASSWD and the lock file
# are checked.
# Usage: form_terminal.sh BUILD-DIR   (exit 1)
set -u
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 1; }
build=$(cd "${1:-build}" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
xtancar=$build/xtancar
xtdata=$build/xtdata
[ -x "$xtancar" ] && [ -x "$xtdata" ] || { echo "xtancar or xtdata is not built"; exit 1; }
command -v openssl >/dev/null || { echo "openssl is not installed"; exit 1; }

export LANG=C.UTF-8 LC_ALL=C.UTF-8
work=$(mktemp -d)
sock="xt-form-$$"
# The PostgreSQL server of the test run, or one of the script's own.
pg_dir=${XT_PG_DIR:-}
printf 'set -g status off\n' >"$work/tmux.conf"
tm() { tmux -u -L "$sock" -f "$work/tmux.conf" "$@"; }
cleanup() {
  tm kill-server 2>/dev/null
  [ -z "$pg_base" ] || psql "$pg_base" -qc "DROP SCHEMA IF EXISTS form_terminal_$$ CASCADE" 2>/dev/null
  [ -n "${XT_PG_DIR:-}" ] || bash "$source_dir/scripts/pg-test-server.sh" stop "$work/pg" >/dev/null 2>&1
  rm -rf "$work"
}
pg_base=
trap cleanup EXIT
if [ -z "$pg_dir" ]; then
  pg_dir=$work/pg
  bash "$source_dir/scripts/pg-test-server.sh" start "$pg_dir" >/dev/null || { echo "no PostgreSQL test server started"; exit 1; }
fi
pg_base=$(cat "$pg_dir/conninfo") || { echo "no connection string in $pg_dir/conninfo"; exit 1; }

# Each scenario runs in a subshell: fail ends the scenario, shows the
# screens of its terminals and counts as one failure.
# Messages go to stderr, so that a failure inside $(...) shows too.
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

# --- Terminals ----------------------------------------------------------

# A new terminal (tmux session) with an interactive shell.
open_terminal() {
  tm kill-session -t "$1" 2>/dev/null
  tm new-session -d -s "$1" -x 80 -y 25 "bash --norc --noprofile -i" || fail "tmux did not start"
  tm send-keys -t "$1" "PS1='SH> '" Enter
  wait_screen "$1" "SH>"
}

# A new terminal on a host of its own, named $2: the shell runs in a UTS
# namespace of its own (inside a user namespace when not run as root).
open_terminal_on_host() {
  local ns="unshare --uts"
  [ "$(id -u)" = 0 ] || ns="unshare --user --map-root-user --uts"
  tm kill-session -t "$1" 2>/dev/null
  tm new-session -d -s "$1" -x 80 -y 25 "$ns sh -c 'hostname $2 && exec bash --norc --noprofile -i'" ||
    fail "tmux did not start"
  tm send-keys -t "$1" "PS1='SH> '" Enter
  wait_screen "$1" "SH>"
  tm send-keys -t "$1" "hostname" Enter
  wait_screen "$1" "$2" || fail "the terminal is not on host $2"
}

# Starts the form in terminal $1 on installation $2 with session directory
# $3 (default: the installation's sessio/). When the program ends, the shell
# prints its exit code and whether the terminal settings are as before.
run_form() {
  local term=$1 inst=$2 session=${3:-$2/sessio/}
  local line="clear; S=\$(stty -g); TAVROOT=$inst/ TAVTMP=$session $xtancar; echo EXIT=\$?;"
  line+=" [ \"\$S\" = \"\$(stty -g)\" ] && echo TTY-SAME || echo TTY-CHANGED;"
  line+=" stty -a | grep -qwE -- '-(icanon|echo|isig|opost|icrnl)' && echo TTY-RAW || echo TTY-COOKED"
  tm send-keys -t "$term" -l "$line"
  tm send-keys -t "$term" Enter
  wait_row "$term" 1 "MANTENIMENT D'OPERADORS" "start"
  in_group1 "$term"
}

row() { tm capture-pane -p -t "$1" | sed -n "${2}p"; }
# Row $2 with its colours, as tmux renders the cells.
row_colours() { tm capture-pane -p -e -t "$1" | sed -n "${2}p"; }
screen() { tm capture-pane -p -e -t "$1"; }
cursor() { tm display -p -t "$1" '#{cursor_x},#{cursor_y}'; }

# Waits (at most 5 s) until row $2 contains $3.
wait_row() {
  local i
  for i in $(seq 100); do
    row "$1" "$2" | grep -qF -- "$3" && return 0
    sleep 0.05
  done
  fail "row $2 of $1 never showed '$3' (${4:-})"
}
# Waits until row $2 no longer contains $3.
wait_row_not() {
  local i
  for i in $(seq 100); do
    row "$1" "$2" | grep -qF -- "$3" || return 0
    sleep 0.05
  done
  fail "row $2 of $1 kept showing '$3' (${4:-})"
}
wait_screen() {
  local i
  for i in $(seq 100); do
    tm capture-pane -p -t "$1" | grep -qF -- "$2" && return 0
    sleep 0.05
  done
  fail "$1 never showed '$2'"
}
wait_cursor() {
  local i
  for i in $(seq 100); do
    [ "$(cursor "$1")" = "$2" ] && return 0
    sleep 0.05
  done
  fail "cursor of $1 at $(cursor "$1"), expected $2 (${3:-})"
}
expect_row() { [ "$(row "$1" "$2")" = "$3" ] || fail "row $2 of $1 is '$(row "$1" "$2")', expected '$3' (${4:-})"; }

keys() { tm send-keys -t "$@"; }
typed() { tm send-keys -t "$1" -l "$2"; }
# A left click (press and release) at screen column $2, row $3 (both from 1).
click() { tm send-keys -t "$1" -l $'\e'"[<0;$2;$3M"$'\e'"[<0;$2;$3m"; }

# The help line on row 24 tells which group is being entered.
in_group1() { wait_row "$1" 24 "F4 Llista" "${2:-group 1}"; }
in_group2() { wait_row "$1" 24 "Enter Desa" "${2:-group 2}"; }

# The program's process: the child of the terminal's shell (read from /proc,
# so that no process tools are needed).
form_pid() {
  local shell f pid comm ppid rest
  shell=$(tm display -p -t "$1" '#{pane_pid}')
  for f in /proc/[0-9]*/stat; do
    { read -r pid comm _ ppid rest <"$f"; } 2>/dev/null || continue
    [ "$ppid" = "$shell" ] && [ "$comm" = "(xtancar)" ] && echo "$pid"
  done
}

# Esc in group 1: the program ends with 0 and leaves the terminal as it was.
leave_form() {
  keys "$1" Escape
  wait_screen "$1" "EXIT=${2:-0}"
  wait_screen "$1" "TTY-SAME"
  wait_screen "$1" "TTY-COOKED"
  local modes
  modes=$(tm display -p -t "$1" '#{alternate_on} #{mouse_any_flag} #{mouse_sgr_flag} #{cursor_flag}')
  [ "$modes" = "0 0 0 1" ] || fail "terminal modes (alternate mouse sgr cursor) left as '$modes'"
}

# --- Installations ------------------------------------------------------

# A fresh demo installation in $work/$1.
fresh_install() {
  "$source_dir/scripts/install-demo.sh" "$build" "$work/$1" >/dev/null || fail "install-demo failed"
  echo "$work/$1"
}

source "$source_dir/tests/installation_checks.sh"

# --- Scenarios ----------------------------------------------------------

failures=0
# XT_SCENARIO=text runs only the scenarios whose name contains text.
scenario() {
  scenario=$1
  [[ "$1" == *"${XT_SCENARIO:-}"* ]] || return 0
  ("$2") || failures=$((failures + 1))
  tm kill-session -t a 2>/dev/null
  tm kill-session -t b 2>/dev/null
}

# A new operator: code, Enter, text, access level with Right and Space,
# Enter stores it.
create_operator() {
  local inst; inst=$(fresh_install create) || { echo "$x is not built"; exit 1; }
  open_terminal a
  run_form a "$inst"
  row_colours a 4 | grep -qF $'Codi d\'operador:      \e[30m\e[106m        ' ||
    fail "the code field is not shown empty in the input colours"
  wait_cursor a 26,3 "code field"
  typed a PAU
  keys a Enter
  in_group2 a
  expect_row a 4 "    Codi d'operador:      PAU"
  expect_row a 6 "    Text de l'operador:"
  wait_cursor a 26,5 "text field"
  expect_record "$inst" PAU "        |00" "created on leaving group 1"
  expect_locks "$inst" "K PAU/" "while editing"

  typed a "Pau V"
  keys a Enter
  wait_row a 8 "◄GENERAL   ►" "level field"
  keys a Right
  wait_row a 8 "◄RESTRINGIT►" "after Right"
  keys a Space
  wait_row a 8 "◄GENERAL   ►" "after Space"
  keys a Right
  wait_row a 8 "◄RESTRINGIT►" "after the second Right"
  keys a Enter
  in_group1 a "after storing"
  expect_row a 4 "    Codi d'operador:"
  expect_row a 6 "    Text de l'operador:   Pau V"
  expect_row a 8 "    Nivell d'accés:       RESTRINGIT"

  expect_record "$inst" PAU "Pau V   |01" "stored"
  expect_log "$inst" "$log_insert$log_update"
  expect_locks "$inst" "" "after storing"
  expect_htpasswd "$inst" PAU >/dev/null
  [ "$(htpasswd_users "$inst")" = "ADMIN JORDI MARIA NURIA PERE PAU " ] ||
    fail ".HTPASSWD users: $(htpasswd_users "$inst")"
  [ "$(head -5 "$inst/.HTPASSWD")" = "$(cat "$source_dir/scripts/demo-data/HTPASSWD")" ] ||
    fail "the other .HTPASSWD lines changed"
  leave_form a
}

# F4 opens the operator list; Down and Enter pick MARIA, who is then edited
# and stored: her line moves to the end of .HTPASSWD with a new salt.
browse_and_edit() {
  local inst salt_before salt_after; inst=$(fresh_install browse) || { echo "$x is not built"; exit 1; }
  salt_before=$(expect_htpasswd "$inst" MARIA) || { echo "$x is not built"; exit 1; }
  open_terminal a
  run_form a "$inst"
  keys a F4
  wait_row a 3 "╔Codi      Text      Nivell═════════╗" "list title"
  expect_row a 4 "    Codi d'operador:   ║ADMIN     Admin     GENERAL        ║"
  expect_row a 7 "                       ║NURIA     Núria S   RESTRINGIT     ║"
  expect_row a 8 "                       ║PERE      Pere T    GENERAL        ║"
  expect_row a 9 "                       ║                                   ║"
  expect_row a 21 "                       ╚═══════════════════════════════════╝"
  keys a Down Down
  wait_row a 6 "║"
  for i in $(seq 50); do row_colours a 6 | grep -qF $'\e[30m\e[106mMARIA     Maria P' && break; sleep 0.05; done
  row_colours a 6 | grep -qF $'\e[30m\e[106mMARIA     Maria P' || fail "MARIA is not highlighted"
  keys a Enter
  wait_row_not a 3 "╔" "list closed"
  expect_row a 4 "    Codi d'operador:      MARIA"
  expect_row a 6 ""
  in_group1 a "after the pick"
  keys a Enter
  in_group2 a
  wait_row a 6 "Text de l'operador:   Maria P"
  expect_row a 8 "    Nivell d'accés:       GENERAL"

  keys a C-y
  typed a "Maria Q"
  keys a Enter
  wait_row a 8 "◄GENERAL   ►"
  keys a Left
  wait_row a 8 "◄RESTRINGIT►" "Left wraps to the last entry"
  keys a Enter
  in_group1 a "after storing"
  expect_record "$inst" MARIA "Maria Q |01" "edited"
  expect_log "$inst" "$log_update"
  expect_locks "$inst" "" "after storing"
  salt_after=$(expect_htpasswd "$inst" MARIA) || { echo "$x is not built"; exit 1; }
  [ "$salt_after" != "$salt_before" ] || fail "MARIA kept the salt $salt_before"
  [ "$(htpasswd_users "$inst")" = "ADMIN JORDI NURIA PERE MARIA " ] ||
    fail ".HTPASSWD users: $(htpasswd_users "$inst")"
  leave_form a
}

# F8 asks for the deletion in a window; NO keeps the record, "S" or Right
# then Enter deletes it with its intranet line.
delete_operators() {
  local inst; inst=$(fresh_install delete) || { echo "$x is not built"; exit 1; }
  local confirm=12 # the question's row: the window's top row 10 + 2
  open_terminal a
  run_form a "$inst"

  typed a PERE
  keys a Enter
  in_group2 a
  keys a F8
  wait_row a $confirm "║  Voleu esborrar aquest operador? ◄NO►" "confirmation"
  expect_row a 10 "         ╔═══════════════════════════════════════════════════════════╗"
  typed a S
  wait_row a $confirm "◄SÍ►" "typing S"
  keys a Enter
  in_group1 a "after deleting"
  wait_row_not a $confirm "Voleu"
  [ -z "$(record "$inst" PERE)" ] || fail "PERE is still in the operator file"
  expect_no_htpasswd "$inst" PERE

  typed a NURIA
  keys a Enter
  in_group2 a
  keys a F8
  wait_row a $confirm "◄NO►"
  keys a Right
  wait_row a $confirm "◄SÍ►" "Right"
  keys a Enter
  in_group1 a "after deleting"
  [ -z "$(record "$inst" NURIA)" ] || fail "NURIA is still in the operator file"
  expect_no_htpasswd "$inst" NURIA

  # Answered NO: the record is stored as with Enter.
  typed a MARIA
  keys a Enter
  in_group2 a
  keys a F8
  wait_row a $confirm "◄NO►"
  keys a Enter
  in_group1 a "after answering NO"
  wait_row_not a $confirm "Voleu"
  expect_record "$inst" MARIA "Maria P |00" "kept"

  [ "$(codes "$inst")" = "ADMIN JORDI MARIA " ] || fail "operators left: $(codes "$inst")"
  [ "$(htpasswd_users "$inst")" = "ADMIN JORDI MARIA " ] || fail ".HTPASSWD users: $(htpasswd_users "$inst")"
  expect_htpasswd "$inst" MARIA >/dev/null
  expect_log "$inst" "$log_update"
  expect_locks "$inst" "" "after the deletions"
  leave_form a
}

# Groups 1 and 2 filled in with the mouse as well: a click inside a text
# field moves the cursor, a click on another field (or its label) moves
# there, the choice markers step the entry, a click on no field changes
# nothing.
mouse_entry() {
  local inst; inst=$(fresh_install mouse) || { echo "$x is not built"; exit 1; }
  open_terminal a
  run_form a "$inst"
  # The code field starts at column 27 of row 4 (both counted from 1).
  typed a RATXLI
  wait_cursor a 32,3
  click a 30 4
  wait_cursor a 29,3 "click on the fourth character"
  typed a O
  wait_row a 4 "Codi d'operador:      RATOLI"
  # A click on no field keeps the code field (entered afresh, from its
  # first character) and its value.
  click a 60 15
  wait_cursor a 26,3 "click on no field"
  expect_row a 4 "    Codi d'operador:      RATOLI"
  keys a Enter
  in_group2 a

  typed a Ratoli
  click a 10 8 # the level field's label
  wait_row a 8 "◄GENERAL   ►" "click on the level label"
  click a 37 8 # the ► marker
  wait_row a 8 "◄RESTRINGIT►" "click on ►"
  click a 26 8 # the ◄ marker
  wait_row a 8 "◄GENERAL   ►" "click on ◄"
  click a 26 8
  wait_row a 8 "◄RESTRINGIT►" "click on ◄ again"
  click a 27 6 # the text field's first character
  wait_cursor a 26,5 "click on the text field"
  wait_row a 8 "Nivell d'accés:       RESTRINGIT" "the level stored when left by the click"
  expect_row a 6 "    Text de l'operador:   Ratoli"
  typed a G
  wait_row a 6 "Text de l'operador:   Gatoli"
  click a 20 4 # group 1's field: no field of this group, the text field stays
  wait_cursor a 26,5 "click outside the group"
  in_group2 a
  expect_row a 6 "    Text de l'operador:   Gatoli"
  keys a Enter
  wait_row a 8 "◄RESTRINGIT►"
  keys a Enter
  in_group1 a "after storing"
  expect_record "$inst" RATOLI "Gatoli  |01" "stored"
  expect_htpasswd "$inst" RATOLI >/dev/null
  expect_locks "$inst" "" "after storing"
  leave_form a
}

# Opens a tool with $2 over the current field, closes it with Esc and checks
# the screen (colours included) and the cursor are as before.
tool_escape_restores() {
  local term=$1 key=$2 shown_row=$3 shown=$4 before cursor_before
  before=$(screen "$term")
  cursor_before=$(cursor "$term")
  keys "$term" "$key"
  wait_row "$term" "$shown_row" "$shown" "$key opened"
  keys "$term" Escape
  wait_row_not "$term" "$shown_row" "$shown" "$key closed"
  sleep 0.1
  [ "$(screen "$term")" = "$before" ] || {
    diff <(echo "$before") <(screen "$term") | head -20
    fail "the screen is not restored after Esc from $key"
  }
  [ "$(cursor "$term")" = "$cursor_before" ] || fail "cursor at $(cursor "$term") after $key, was $cursor_before"
}

# Alt+C and Alt+X over the text field: Esc restores the screen exactly; the
# chosen date and the calculated number arrive in the field as if typed.
calendar_and_calculator() {
  local inst; inst=$(fresh_install tools) || { echo "$x is not built"; exit 1; }
  open_terminal a
  run_form a "$inst"
  typed a ADMIN
  keys a Enter
  in_group2 a
  wait_row a 6 "Text de l'operador:   Admin"
  wait_cursor a 26,5

  tool_escape_restores a M-c 1 "┌─────── 2026 ───────┐"
  tool_escape_restores a M-x 25 "└────────────────────────┘"

  # The calendar starts on the working date (8 December 2026); Right moves
  # to the 9th, "f" chooses it: " 9/12/2026 " is typed into the 8-character
  # field from its first position.
  keys a C-y
  wait_row_not a 6 "Admin" "cleared"
  keys a M-c
  wait_row a 17 "DESEMBRE" "calendar"
  expect_row a 1 "                            MANTENIMENT D'OPERADORS       ┌─────── 2026 ───────┐"
  expect_row a 18 "                                                          │    1  2  3  4  5  6│"
  row_colours a 19 | grep -qF $'\e[30m\e[106m 8' || fail "the working date is not highlighted"
  keys a Right Enter # Enter does not choose
  sleep 0.2
  wait_row a 17 "DESEMBRE" "Enter keeps the calendar open"
  keys a f
  wait_row_not a 1 "2026"
  wait_row a 6 "Text de l'operador:   9/12/202" "the date typed"
  wait_cursor a 34,5 "after the date"

  keys a C-y
  keys a M-x
  wait_row a 25 "└────────────────────────┘" "calculator"
  typed a "12+3="
  wait_row a 22 "│                    15  │"
  expect_row a 19 "┌────────────────────────┐"
  expect_row a 20 "│                    12 +│"
  expect_row a 21 "│                     3 =│"
  row a 24 | grep -qF "│                    15  │" || fail "the display does not show 15"
  typed a F
  wait_row_not a 25 "└"
  wait_row a 6 "Text de l'operador:   1500" "the result typed"
  wait_cursor a 30,5 "after the result"
  [ -f "$inst/TAVCALC.TMP" ] || fail "the calculator kept no state in TAVCALC.TMP"
  keys a Enter
  wait_row a 8 "◄GENERAL   ►"
  keys a Enter
  in_group1 a "after storing"
  expect_record "$inst" ADMIN "1500    |00" "the result stored"
  leave_form a
}

# Esc in group 1 ends the program with exit code 0 and the terminal as it
# was; a new code left with Esc in group 2 is taken out again first.
leave_with_escape() {
  local inst; inst=$(fresh_install leave) || { echo "$x is not built"; exit 1; }
  open_terminal a
  run_form a "$inst"
  typed a NOU
  keys a Enter
  in_group2 a
  [ -n "$(record "$inst" NOU)" ] || fail "NOU not created"
  typed a "Nou"
  keys a Escape
  in_group1 a "after Esc in group 2"
  [ -z "$(record "$inst" NOU)" ] || fail "NOU is still in the operator file after Esc"
  expect_no_htpasswd "$inst" NOU
  expect_locks "$inst" "" "after Esc in group 2"
  typed a PERE
  leave_form a
  [ "$(codes "$inst")" = "ADMIN JORDI MARIA NURIA PERE " ] || fail "operators: $(codes "$inst")"
  cmp -s "$inst/.HTPASSWD" "$source_dir/scripts/demo-data/HTPASSWD" || fail ".HTPASSWD changed"
}

# A session directory that is not there: a message naming it until a key,
# then exit code 2 and the terminal as it was.
missing_session() {
  local inst; inst=$(fresh_install nosession) || { echo "$x is not built"; exit 1; }
  open_terminal a
  local line="clear; S=\$(stty -g); TAVROOT=$inst/ TAVTMP=$inst/nosuch/ $xtancar; echo EXIT=\$?;"
  line+=" [ \"\$S\" = \"\$(stty -g)\" ] && echo TTY-SAME || echo TTY-CHANGED"
  tm send-keys -t a -l "$line"
  tm send-keys -t a Enter
  wait_screen a "│ No es pot escriure al directori de la sessió (TAVTMP): │"
  wait_screen a "│ $inst/nosuch/"
  keys a Enter
  wait_screen a "EXIT=2"
  wait_screen a "TTY-SAME"
  [ ! -e "$inst/nosuch" ] || fail "the missing session directory was created"
  # An installation root that is not there: said so in the session's
  # language, then exit code 2.
  tm send-keys -t a -l "clear; TAVROOT=$inst/nosuch/ TAVTMP=$inst/sessio/ $xtancar; echo EXIT=\$?"
  tm send-keys -t a Enter
  wait_screen a "│ No es pot entrar al directori de la instal·lació (TAVROOT): │"
  keys a Enter
  wait_screen a "EXIT=2"
  tm kill-session -t a
}

# An operator file that is not a data file: the message until a key, then
# exit code 1, with the message repeated on the shell's error output.
unusable_data_file() {
  local inst; inst=$(fresh_install baddata) || { echo "$x is not built"; exit 1; }
  rm -f "$inst"/Operador.dat-*
  echo "not a data file" >"$inst/Operador.dat"
  open_terminal a
  tm send-keys -t a -l "clear; TAVROOT=$inst/ TAVTMP=$inst/sessio/ $xtancar; echo EXIT=\$?"
  tm send-keys -t a Enter
  wait_screen a "│ NO ES POT ACCEDIR AL FITXER $inst/Operador (30) │"
  keys a Enter
  wait_screen a "EXIT=1"
  wait_screen a "xtancar: NO ES POT ACCEDIR AL FITXER $inst/Operador (30)"
  [ "$(cat "$inst/Operador.dat")" = "not a data file" ] || fail "the unusable file was changed"
  tm kill-session -t a
}

# Two terminals (each with its own session directory, hence its own lock
# identity) on one installation.
two_terminals() {
  local inst; inst=$(fresh_install shared) || { echo "$x is not built"; exit 1; }
  local message="FITXER BLOQUEJAT. ESPEREU UN MOMENT O POLSEU [ESC] PER A EIXIR."
  cp -r "$inst/sessio" "$inst/sessio2"
  open_terminal a
  open_terminal b
  run_form a "$inst"
  run_form b "$inst" "$inst/sessio2/"

  typed a JORDI
  keys a Enter
  in_group2 a
  wait_row a 6 "Jordi R"
  expect_locks "$inst" "K JORDI/" "first terminal editing"

  # The second terminal waits with the message and gives up with Esc.
  typed b JORDI
  keys b Enter
  wait_row b 22 "│ $message │" "the second terminal waits"
  keys b Escape
  in_group1 b "after giving up"
  expect_row b 6 "" "no record read"
  wait_cursor b 26,3 "back in the code field"
  expect_locks "$inst" "K JORDI/" "after giving up"

  # It asks again and waits; the first stores and releases the record,
  # and the second gets it as stored.
  keys b Enter
  wait_row b 22 "│ $message │" "waiting again"
  keys a C-y
  typed a "Jordi X"
  keys a Enter
  wait_row a 8 "◄RESTRINGIT►"
  keys a Enter
  in_group1 a "first terminal stored"
  in_group2 b "the second terminal got the record"
  wait_row b 6 "Text de l'operador:   Jordi X"
  expect_row b 8 "    Nivell d'accés:       RESTRINGIT"
  expect_locks "$inst" "K JORDI/" "second terminal editing"

  # Now the first terminal is the one that waits.
  typed a JORDI
  keys a Enter
  wait_row a 22 "│ $message │" "the first terminal waits"
  keys b Escape
  in_group1 b
  in_group2 a "the first terminal got the record"
  keys a Escape
  in_group1 a
  expect_locks "$inst" "" "both done"
  expect_record "$inst" JORDI "Jordi X |01"
  leave_form a
  leave_form b
}

# Storing while another process holds .HTPASSWD.lck: the wait shows its
# message on the terminal, and SIGTERM ends the program at once, the new
# operator taken out again, its record lock freed, the terminal restored.
wait_for_intranet_lock() {
  local inst pid holder i; inst=$(fresh_install intranetwait) || { echo "$x is not built"; exit 1; }
  open_terminal a
  run_form a "$inst"
  typed a PAU
  keys a Enter
  in_group2 a
  typed a "Pau"
  keys a Enter
  wait_row a 8 "◄GENERAL   ►"
  # Another terminal's lock: a byte-range lock on the whole file, as the
  # program takes it; the holder leaves a mark once it has it.
  python3 -c 'import fcntl, sys, time
f = open(sys.argv[1], "a")
fcntl.lockf(f, fcntl.LOCK_EX)
open(sys.argv[2], "w").close()
time.sleep(60)' "$inst/.HTPASSWD.lck" "$work/intranet-lock-held" &
  holder=$!
  for i in $(seq 100); do [ -e "$work/intranet-lock-held" ] && break; sleep 0.05; done
  keys a Enter
  wait_screen a "GENERANT CONTRASENYA INTRANET"
  expect_locks "$inst" "K PAU/" "while waiting"
  pid=$(form_pid a)
  [ -n "$pid" ] || fail "no xtancar process"
  kill -TERM "$pid"
  wait_screen a "EXIT=143"
  kill "$holder" 2>/dev/null
  wait_screen a "TTY-SAME"
  wait_screen a "TTY-COOKED"
  expect_locks "$inst" "" "after SIGTERM"
  [ -z "$(record "$inst" PAU)" ] || fail "PAU left in the operator file"
  expect_no_htpasswd "$inst" PAU
  [ "$(codes "$inst")" = "ADMIN JORDI MARIA NURIA PERE " ] || fail "operators: $(codes "$inst")"
}

# TAVROOT and TAVTMP relative to the directory the program is started in:
# the missing operator file is made from the dictionary, the record lock,
# db.log and .HTPASSWD land in the installation, and Vexa.ini's decimal
# character reaches the calculator.
relative_root() {
  local inst; inst=$(fresh_install relative) || { echo "$x is not built"; exit 1; }
  rm -f "$inst"/Operador.dat*
  open_terminal a
  typed a "clear; cd $work; TAVROOT=relative/ TAVTMP=relative/sessio/ $xtancar; echo EXIT=\$?"
  keys a Enter
  wait_row a 1 "MANTENIMENT D'OPERADORS" "start"
  in_group1 a
  typed a PAU
  keys a Enter
  in_group2 a
  expect_locks "$inst" "K PAU/" "while editing"
  keys a M-x
  wait_row a 25 "└────────────────────────┘" "calculator"
  typed a "1.5"
  wait_row a 24 "│                   1,5  │" "the decimal character of Vexa.ini"
  keys a Escape
  wait_row_not a 25 "└"
  typed a "Pau R"
  keys a Enter
  wait_row a 8 "◄GENERAL   ►"
  keys a Enter
  in_group1 a "after storing"
  expect_record "$inst" PAU "Pau R   |00" "stored"
  expect_log "$inst" "$log_insert$log_update"
  expect_locks "$inst" "" "after storing"
  expect_htpasswd "$inst" PAU >/dev/null
  keys a Escape
  wait_screen a "EXIT=0"
  [ ! -e "$work/LOCKS" ] && [ ! -e "$work/db.log" ] || fail "files written outside the installation"
}

# A termination signal while an operator is edited: the terminal is
# restored, the lock released, a code created for this pass removed again,
# an existing record left as it was.
signals() {
  local inst sig code pid
  for sig in TERM HUP; do
    inst=$(fresh_install "signal-$sig") || { echo "$x is not built"; exit 1; }
    code=SIG$sig
    open_terminal a
    run_form a "$inst"
    typed a "$code"
    keys a Enter
    in_group2 a
    typed a "Nou"
    expect_record "$inst" "$code" "        |00" "created"
    expect_locks "$inst" "K $code/" "editing $code"
    pid=$(form_pid a)
    [ -n "$pid" ] || fail "no xtancar process"
    kill -s "$sig" "$pid"
    wait_screen a "EXIT=$((128 + $(kill -l "$sig")))"
    wait_screen a "TTY-SAME"
    wait_screen a "TTY-COOKED"
    expect_locks "$inst" "" "after SIG$sig"
    [ -z "$(record "$inst" "$code")" ] || fail "$code left in the operator file after SIG$sig"
    expect_no_htpasswd "$inst" "$code"
    [ "$(codes "$inst")" = "ADMIN JORDI MARIA NURIA PERE " ] || fail "operators: $(codes "$inst")"

    # An existing operator being edited.
    run_form a "$inst"
    typed a MARIA
    keys a Enter
    in_group2 a
    keys a C-y
    typed a "Canviat"
    wait_row a 6 "Canviat"
    pid=$(form_pid a)
    [ -n "$pid" ] || fail "no xtancar process"
    kill -s "$sig" "$pid"
    wait_screen a "EXIT=$((128 + $(kill -l "$sig")))"
    expect_locks "$inst" "" "after SIG$sig on MARIA"
    expect_record "$inst" MARIA "Maria P |00" "after SIG$sig"
    cmp -s "$inst/.HTPASSWD" "$source_dir/scripts/demo-data/HTPASSWD" || fail ".HTPASSWD changed after SIG$sig"
    tm kill-session -t a
  done
}

# The installation's data on a PostgreSQL server (a schema of the
# scenario's own on the test server): the demo's operators moved there
# with xtdata copy, the disk file taken away, Vexa.ini naming the server.
# Create, browse, edit and delete as on the disk; then a terminal on
# another host waits for the record the first one is editing.
on_the_server() {
  local inst conn message="FITXER BLOQUEJAT. ESPEREU UN MOMENT O POLSEU [ESC] PER A EIXIR."
  inst=$(fresh_install server) || exit 1
  psql "$pg_base" -qc "CREATE SCHEMA form_terminal_$$" || fail "no schema on the test server"
  conn="$pg_base application_name=form_terminal options='-c search_path=form_terminal_$$'"
  (cd "$inst" && TAVROOT="$inst/" "$xtdata" --server "$conn" copy Operador server:Operador >/dev/null) ||
    fail "the operators were not copied to the server"
  rm "$inst/Operador.dat"
  sed -i "/^\[Dades\]/a Servidor=$conn" "$inst/Vexa.ini"
  [ "$(codes "$inst")" = "ADMIN JORDI MARIA NURIA PERE " ] || fail "operators on the server: $(codes "$inst")"
  cp -r "$inst/sessio" "$inst/sessio2"

  open_terminal a
  run_form a "$inst"
  typed a PAU
  keys a Enter
  in_group2 a
  expect_record "$inst" PAU "        |00" "created on leaving group 1"
  typed a "Pau V"
  keys a Enter
  wait_row a 8 "◄GENERAL   ►" "level field"
  keys a Right
  keys a Enter
  in_group1 a "after storing PAU"
  expect_record "$inst" PAU "Pau V   |01" "stored"
  expect_htpasswd "$inst" PAU >/dev/null

  keys a F4
  wait_row a 3 "╔Codi      Text      Nivell═════════╗" "list title"
  expect_row a 7 "                       ║NURIA     Núria S   RESTRINGIT     ║"
  expect_row a 8 "    Nivell d'accés:    ║PAU       Pau V     RESTRINGIT     ║"
  expect_row a 9 "                       ║PERE      Pere T    GENERAL        ║"
  keys a Down Down
  for i in $(seq 50); do row_colours a 6 | grep -qF $'\e[30m\e[106mMARIA     Maria P' && break; sleep 0.05; done
  keys a Enter
  wait_row_not a 3 "╔" "list closed"
  expect_row a 4 "    Codi d'operador:      MARIA"
  keys a Enter
  in_group2 a
  wait_row a 6 "Text de l'operador:   Maria P"
  keys a C-y
  typed a "Maria Q"
  keys a Enter
  wait_row a 8 "◄GENERAL   ►"
  keys a Enter
  in_group1 a "after storing MARIA"
  expect_record "$inst" MARIA "Maria Q |00" "edited"

  typed a PERE
  keys a Enter
  in_group2 a
  keys a F8
  wait_row a 12 "Voleu esborrar aquest operador? ◄NO►" "confirmation"
  typed a S
  keys a Enter
  in_group1 a "after deleting"
  [ -z "$(record "$inst" PERE)" ] || fail "PERE is still on the server"
  expect_no_htpasswd "$inst" PERE
  expect_log "$inst" "$log_insert$log_update$log_update"
  [ ! -e "$inst/Operador.dat" ] || fail "a data file was made on the disk"

  # A terminal on another host asks for JORDI while the first edits him;
  # it waits until the first stores, then gets the record as stored.
  typed a JORDI
  keys a Enter
  in_group2 a
  wait_row a 6 "Jordi R"
  open_terminal_on_host b otherhost
  run_form b "$inst" "$inst/sessio2/"
  typed b JORDI
  keys b Enter
  wait_row b 22 "│ $message │" "the other host waits"
  expect_locks "$inst" "K JORDI/" "first terminal editing"
  [ "$(head -c 15 "$inst/LOCKS/Operador.lck" | sed 's/ *$//')" != otherhost ] ||
    fail "the waiting host holds the lock"
  keys a C-y
  typed a "Jordi X"
  keys a Enter Enter
  in_group1 a "first terminal stored"
  in_group2 b "the other host got the record"
  wait_row b 6 "Text de l'operador:   Jordi X"
  expect_locks "$inst" "K JORDI/" "the other host editing"
  grep -aq otherhost "$inst/LOCKS/Operador.lck" || fail "the lock record does not name the other host"
  keys b Escape
  in_group1 b
  expect_locks "$inst" "" "both done"
  expect_record "$inst" JORDI "Jordi X |01"
  leave_form a
  leave_form b
  [ "$(codes "$inst")" = "ADMIN JORDI MARIA NURIA PAU " ] || fail "operators at the end: $(codes "$inst")"
}

# A server that cannot be reached at start: the open-failure message with
# the server's reason, on the screen and on standard error, and exit code 1.
server_unreachable() {
  local inst; inst=$(fresh_install noserver) || exit 1
  rm -f "$inst"/Operador.dat*
  sed -i "/^\[Dades\]/a Servidor=host=127.0.0.1 port=1 connect_timeout=5" "$inst/Vexa.ini"
  open_terminal a
  tm send-keys -t a -l "clear; TAVROOT=$inst/ TAVTMP=$inst/sessio/ $xtancar 2>$work/noserver.err; echo EXIT=\$?"
  tm send-keys -t a Enter
  wait_screen a "NO ES POT ACCEDIR AL FITXER $inst/Operador (95"
  keys a Enter
  wait_screen a "EXIT=1"
  grep -q "^xtancar: NO ES POT ACCEDIR AL FITXER $inst/Operador (95: .*refused" "$work/noserver.err" ||
    fail "standard error: $(cat "$work/noserver.err")"
  [ ! -e "$inst/Operador.dat" ] || fail "a data file was made on the disk"
  tm kill-session -t a
}

started=$SECONDS
scenario "create" create_operator
scenario "browse and edit" browse_and_edit
scenario "delete" delete_operators
scenario "mouse" mouse_entry
scenario "calendar and calculator" calendar_and_calculator
scenario "leave with Esc" leave_with_escape
scenario "missing session directory" missing_session
scenario "unusable data file" unusable_data_file
scenario "two terminals" two_terminals
scenario "signals" signals
scenario "relative TAVROOT and TAVTMP" relative_root
scenario "SIGTERM while waiting for the intranet lock" wait_for_intranet_lock
scenario "on the database server" on_the_server
scenario "database server unreachable" server_unreachable

if [ "$failures" -ne 0 ]; then
  echo "$failures scenario(s) failed"
  exit 1
fi
echo "PASS: form in the terminal, $((SECONDS - started)) s"
