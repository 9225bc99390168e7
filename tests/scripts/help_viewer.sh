#!/usr/bin/env bash
# The text help viewer in a real terminal (tmux, 80x25): opened with F1 over
# a drawn screen, it scrolls with the keys of its table, and Esc brings the
# screen back exactly, colours and cursor included.
# Usage: help_viewer.sh <build directory>
set -u
build=$(cd "${1:-build}" && pwd)
driver="$build/help_driver"
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 1; }
[ -x "$driver" ] || { echo "$driver is not built"; exit 1; }

work=$(mktemp -d)
sock="xt-help-$$"
tm() { tmux -L "$sock" "$@"; }
cleanup() { tm kill-server 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- screen:"; tm capture-pane -p -t help 2>/dev/null; exit 1; }

# 40 fixed lines of 80 bytes (78 characters and CR LF).
mkdir -p "$work/AJUDA" "$work/tmp"
for i in $(seq 1 40); do printf '%-78s\r\n' "$(printf 'LINE %03d of the help text' "$i")"; done >"$work/AJUDA/PROVA.HLP"

row() { tm capture-pane -p -t help | sed -n "${1}p"; }
# Waits until screen row $1 contains $2.
wait_row() {
  local i
  for i in $(seq 1 100); do
    row "$1" | grep -qF -- "$2" && return 0
    sleep 0.05
  done
  fail "row $1 never showed '$2' (${3:-})"
}
# Sends a key and checks the first and last line shown inside the frame
# (screen rows 5 and 21).
press() {
  tm send-keys -t help "$1"
  wait_row 5 "LINE $(printf %03d "$2")" "after $1"
  wait_row 21 "LINE $(printf %03d "$3")" "after $1"
}

tm -f /dev/null new-session -d -s help -x 80 -y 25 "'$driver' '$work' PROVA; sleep 5" || fail "tmux did not start"
wait_row 1 "FORM TITLE" "start"
sleep 0.2
before=$(tm capture-pane -p -e -t help)
cursor_before=$(tm display-message -p -t help '#{cursor_x},#{cursor_y}')

press F1 1 17
row 4 | grep -q '╔' || fail "no double frame on row 4"
row 22 | grep -q '╝' || fail "no double frame on row 22"
press Down 2 18
press Up 1 17
press NPage 18 34
press NPage 24 40
press PPage 8 24
press Home 1 17
press End 24 40
press PPage 8 24

tm send-keys -t help Escape
wait_row 5 "row 5" "after Escape"
sleep 0.2
after=$(tm capture-pane -p -e -t help)
cursor_after=$(tm display-message -p -t help '#{cursor_x},#{cursor_y}')
[ "$before" == "$after" ] || { diff <(echo "$before") <(echo "$after") | head -20; fail "screen not restored"; }
[ "$cursor_before" == "$cursor_after" ] || fail "cursor $cursor_after, was $cursor_before"
[ ! -e "$work/tmp/WinPush.tmp" ] || fail "WinPush.tmp left behind"

tm send-keys -t help q
echo "PASS"
