#!/bin/bash
# Terminal test of the console backend: runs the console driver in tmux at
# 80x25, types keys (Alt with keypad digits among them) and reads the pane;
# checks the terminal is restored after
# a normal end, after SIGTERM, SIGHUP, SIGINT, SIGSEGV and SIGABRT, and across a stop and
# continue; checks that keys typed before the end do not reach the shell, and
# that a 60x20 terminal gets the size notice until it grows.
# Usage: terminal_console.sh BUILD_DIR   (exit 1)
set -u
build=${1:?build directory}
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 1; }
driver=$(cd "$build" && pwd)/console_driver
[ -x "$driver" ] || { echo "missing $driver"; exit 1; }

export LANG=C.UTF-8 LC_ALL=C.UTF-8
sock=xt_console_test_$$
tm() { tmux -u -L "$sock" -f /dev/null "$@"; }
trap 'tm kill-server 2>/dev/null' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

capture() { tm capture-pane -p -t "$1"; }
# Waits up to 5 s for text to appear in the pane.
wait_for() {
  local pane=$1 text=$2
  for _ in $(seq 50); do
    capture "$pane" | grep -qF -- "$text" && return 0
    sleep 0.1
  done
  fail "pane $pane never showed '$text'"
  capture "$pane" | sed 's/^/    | /'
  return 1
}
flags() { tm display -p -t "$1" '#{alternate_on} #{wrap_flag} #{mouse_any_flag} #{cursor_flag}'; }
expect_flags() {
  local got; got=$(flags "$1")
  [ "$got" = "$2" ] || fail "$3: tmux modes (alternate wrap mouse cursor) are '$got', expected '$2'"
}
driver_pid() {
  local shell; shell=$(tm display -p -t "$1" '#{pane_pid}')
  ps -o pid= --ppid "$shell" | tr -d ' ' | head -1
}
# Starts the driver in a fresh shell window; afterwards the shell prints the
# exit code and whether stty settings are the same as before.
start() {
  local pane=$1
  tm send-keys -t "$pane" "clear; S=\$(stty -g); $driver; echo rc=\$?; [ \"\$S\" = \"\$(stty -g)\" ] && echo TTY-SAME || echo TTY-CHANGED" Enter
  wait_for "$pane" "CONSOLE DRIVER" || return 1
}

tm new-session -d -s main -x 80 -y 25 "bash --norc --noprofile -i"
tm set-option -g status off
tm send-keys -t main "PS1='SH> '" Enter
sleep 0.3

# --- Keys, colours, glyphs, normal end.
start main
expect_flags main "1 0 0 1" "while running"
tm send-keys -t main F1 S-F1 C-Left M-x
tm send-keys -t main -l "é"
wait_for main "3B00 5400 7300 2D00 0082"
capture main | grep -qF "Glyphs: ► ◄ ╔═╗ é € ç" || fail "glyphs not shown"
tm capture-pane -p -e -t main | head -1 | grep -qF $'\e[93m\e[41m CONSOLE DRIVER' ||
  fail "title not yellow on red"
# Alt with keypad digits: 3, 0, 0 is 300 mod 256 = 44, given once another
# key comes; keypad 7 without Alt stays the digit.
[ "$(tm display -p -t main '#{keypad_flag}')" = 1 ] || fail "keypad not in application mode"
tm send-keys -t main M-KP3 M-KP0 M-KP0 KP7
wait_for main "0082 002C 0037"
tm send-keys -t main Escape
wait_for main "rc=0" && wait_for main "TTY-SAME"
expect_flags main "0 1 0 1" "after Esc"
[ "$(tm display -p -t main '#{keypad_flag}')" = 0 ] || fail "keypad left in application mode"

# --- Mouse on, keys typed while the program is busy, then its end: the
# keys must not reach the shell.
start main
tm send-keys -t main m
sleep 0.2
[ "$(tm display -p -t main '#{mouse_sgr_flag}')" = 1 ] || fail "SGR mouse not on"
tm send-keys -t main p
sleep 0.2
tm send-keys -t main "echo LEAKED" Enter
wait_for main "rc=0" && wait_for main "TTY-SAME"
sleep 0.3
capture main | grep -q LEAKED && fail "typed-ahead keys reached the shell"
expect_flags main "0 1 0 1" "after the busy end"

# --- Termination signals from outside, and fatal ones (restored, then the
# signal takes its course).
for sig in TERM HUP INT SEGV ABRT; do
  start main
  pid=$(driver_pid main)
  [ -n "$pid" ] || { fail "no driver process"; continue; }
  kill -s "$sig" "$pid"
  if [ "$sig" = SEGV ] || [ "$sig" = ABRT ]; then
    # The previous handler decides the exit code (a sanitizer's reports and
    # exits with 1): any failure will do, with the terminal restored first.
    wait_for main "TTY-SAME"
    capture main | grep -q "^rc=0$" && fail "SIG$sig: exit code 0"
  else
    wait_for main "rc=$((128 + $(kill -l "$sig")))" && wait_for main "TTY-SAME"
  fi
  expect_flags main "0 1 0 1" "after SIG$sig"
done

# --- Stop and continue: the shell gets a sane terminal, fg repaints.
tm send-keys -t main "clear; $driver" Enter
wait_for main "CONSOLE DRIVER"
pid=$(driver_pid main)
kill -s TSTP "$pid"
wait_for main "Stopped"
expect_flags main "0 1 0 1" "while stopped"
tm send-keys -t main "fg" Enter
wait_for main "CONSOLE DRIVER"
expect_flags main "1 0 0 1" "after fg"
tm send-keys -t main F2
wait_for main "3C00"
tm send-keys -t main Escape
wait_for main "driver done"
expect_flags main "0 1 0 1" "after the resumed run"

# --- Too small: the notice, keys still read, the screen once it grows.
tm new-window -t main -n small "bash --norc --noprofile -i"
tm send-keys -t main:small "PS1='SH> '" Enter
# The window must really be 60x20 before the driver starts: under load tmux
# may apply the size late, so ask again until it reports it.
for _ in $(seq 50); do
  tm resize-window -t main:small -x 60 -y 20
  [ "$(tm display -p -t main:small '#{window_width}x#{window_height}')" = 60x20 ] && break
  sleep 0.1
done
sleep 0.3
tm send-keys -t main:small "clear; $driver; echo rc=\$?" Enter
wait_for main:small "Terminal too small: needs 80x25, has 60x20"
tm send-keys -t main:small F3
sleep 0.2
tm resize-window -t main:small -x 80 -y 25
wait_for main:small "CONSOLE DRIVER"
wait_for main:small "3D00"
tm send-keys -t main:small Escape
wait_for main:small "rc=0"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "terminal console: all checks passed"
