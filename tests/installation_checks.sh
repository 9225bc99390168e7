# Checks of an installation's files after the form has run, shared by the
# terminal tests: the operator records as xtdata reads them, .HTPASSWD and
# its apr1 hashes, db.log and the held lock records. Sourced; needs $xtdata
# (the xtdata program) and a fail function.

# The installation's operator file as xtdata dumps it: on the disk, or on
# the server that its Vexa.ini names.
dump_operators() {
  if grep -aq '^Servidor=' "$1/Vexa.ini"; then
    (cd "$1" && TAVROOT="$1/" "$xtdata" dump server:Operador)
  else
    "$xtdata" dump "$1/Operador"
  fi
}

# "text|level" of operator $2 (level as the hex byte), nothing when absent.
record() {
  dump_operators "$1" 2>/dev/null | awk -v code="$2" '
    /^@/ { c = ""; t = "" }
    /^0000:/ { c = substr($0, 56, 8); t = substr($0, 64, 8); sub(/ +$/, "", c) }
    /^0010:/ { if (c == code) print t "|" $2 }'
}
codes() {
  dump_operators "$1" 2>/dev/null | awk '/^0000:/ { c = substr($0, 56, 8); sub(/ +$/, "", c); print c }' | tr '\n' ' '
}
expect_record() {
  local got; got=$(record "$1" "$2")
  [ "$got" = "$3" ] || fail "record $2 is '$got', expected '$3' (${4:-})"
}

htpasswd_line() { grep -a "^$2:" "$1/.HTPASSWD"; }
# Exactly one line for operator $2, ending in CR LF, whose apr1 hash checks
# against the code (the demo password); prints the salt.
expect_htpasswd() {
  local lines hash salt
  lines=$(grep -ac "^$2:" "$1/.HTPASSWD")
  [ "$lines" = 1 ] || fail ".HTPASSWD has $lines lines for $2"
  hash=$(htpasswd_line "$1" "$2")
  [ "${hash: -1}" = $'\r' ] || fail ".HTPASSWD line of $2 does not end in CR LF"
  hash=${hash%$'\r'}
  hash=${hash#*:}
  salt=$(echo "$hash" | cut -d'$' -f3)
  [ "$(openssl passwd -apr1 -salt "$salt" "$2")" = "$hash" ] || fail "the .HTPASSWD hash of $2 does not check"
  echo "$salt"
}
expect_no_htpasswd() { ! grep -aq "^$2:" "$1/.HTPASSWD" || fail ".HTPASSWD still has a line for $2"; }
htpasswd_users() { cut -d: -f1 "$1/.HTPASSWD" | tr '\n' ' '; }

expect_log() {
  local got; got=$(cat -A "$1/db.log" 2>/dev/null | tr '\n' '/')
  [ "$got" = "$2" ] || fail "db.log is '$got', expected '$2'"
}
# db.log lines (as cat -A shows them) for an insert and an update of file 52.
log_insert=' 52            2             0 ^M$/'
log_update=' 52            3             0 ^M$/'

# The held lock records (type byte at offset 34 not blank) as "type key".
held_locks() {
  local f=$1/LOCKS/Operador.lck size i type
  [ -f "$f" ] || return 0
  size=$(stat -c %s "$f")
  ((size % 121 == 0)) || fail "lock file of $size bytes, not whole 121-byte records"
  for ((i = 0; i < size / 121; i++)); do
    type=$(dd if="$f" bs=1 skip=$((i * 121 + 34)) count=1 2>/dev/null)
    [ "$type" = " " ] || echo "$type $(dd if="$f" bs=1 skip=$((i * 121 + 37)) count=8 2>/dev/null | sed 's/ *$//')"
  done
}
expect_locks() {
  local got; got=$(held_locks "$1" | tr '\n' '/')
  [ "$got" = "$2" ] || fail "held locks '$got', expected '$2' (${3:-})"
}
