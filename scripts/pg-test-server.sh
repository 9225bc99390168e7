#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests.
#
#   scripts/pg-test-server.sh start DIR   initdb in DIR and start the server
#   scripts/pg-test-server.sh stop DIR    stop it (safe to repeat)
#
# The server listens on 127.0.0.1 on a free port and on a Unix socket,
# trusts every local connection, and has a role and a database "xtancar"
# (the role owns the database and may create others). `start` writes the
# libpq connection strings to DIR/conninfo (TCP) and DIR/conninfo-socket,
# and fails with the server's log when the server does not come up. A
# server left running in DIR is stopped and its data thrown away first.
#
# Run as root, the server runs as Debian's "postgres" user (or "nobody"),
# which gets DIR. When that user cannot reach DIR (e.g. under /root) or
# DIR's path is too long for a socket, the data and the socket go to a
# directory under /tmp named in DIR/home, removed by `stop`.
set -euo pipefail

usage() { echo "usage: $0 start|stop DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
action=$1
dir=$(realpath -m "$2")
role=xtancar
database=xtancar

# The newest installed server.
bin=$(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
if [ ! -x "$bin/initdb" ]; then
  echo "no PostgreSQL server (Debian package postgresql)" >&2
  exit 1
fi

user=""
if [ "$(id -u)" -eq 0 ]; then
  user=postgres
  id -u "$user" >/dev/null 2>&1 || user=nobody
fi
# Runs a command as the server's user, from a directory that user may enter.
as_server() {
  if [ -n "$user" ]; then (cd / && runuser -u "$user" -- "$@"); else "$@"; fi
}

home_of() { if [ -f "$dir/home" ]; then cat "$dir/home"; else echo "$dir"; fi; }

stop() {
  local home
  home=$(home_of)
  # A pid file left by a server that died is no server to stop.
  if [ -f "$home/data/postmaster.pid" ] && as_server "$bin/pg_ctl" status -D "$home/data" >/dev/null; then
    as_server "$bin/pg_ctl" stop -D "$home/data" -m fast -w -t 30 >/dev/null ||
      { echo "pg_ctl stop failed" >&2; return 1; }
  fi
  case $home in /tmp/xt-pg-*) rm -rf "$home" "${dir:?}/home" ;; esac
  return 0
}

fail() {  # fail WHAT: the reason and the server's log; no server is left running
  echo "PostgreSQL test server: $1" >&2
  [ -s "$home/pg_ctl.log" ] && cat "$home/pg_ctl.log" >&2
  [ -f "$home/server.log" ] && { echo "--- server log" >&2; cat "$home/server.log" >&2; }
  stop >/dev/null 2>&1 || true
  exit 1
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start() {
  stop
  mkdir -p "$dir"
  rm -rf "$dir"/{data,conninfo,conninfo-socket,server.log,initdb.log,pg_ctl.log}
  [ -z "$user" ] || chown "$user:" "$dir"
  home=$dir
  # The socket's path must fit in 107 bytes.
  if [ ${#dir} -gt 90 ] || { [ -n "$user" ] && ! as_server test -w "$dir" -a -x "$dir"; }; then
    home=$(mktemp -d /tmp/xt-pg-XXXXXX)
    [ -z "$user" ] || chown "$user:" "$home"
    echo "$home" > "$dir/home"
  fi

  as_server "$bin/initdb" -D "$home/data" -U postgres -A trust -E UTF8 --locale=C --no-sync \
    >"$home/initdb.log" 2>&1 || { cat "$home/initdb.log" >&2; fail "initdb failed"; }
  cat >>"$home/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$home'
fsync = off
synchronous_commit = off
full_page_writes = off
shared_buffers = 16MB
max_connections = 40
CONF

  # The port is free when picked; another process may take it before the
  # server binds it, so a failed bind is retried on another port.
  local port="" _
  for _ in 1 2 3 4 5; do
    port=$(free_port)
    rm -f "$home/server.log"
    if as_server "$bin/pg_ctl" start -D "$home/data" -l "$home/server.log" -w -t 30 \
         -o "-p $port" >"$home/pg_ctl.log" 2>&1; then
      break
    fi
    grep -q "could not bind\|could not create any TCP/IP sockets" "$home/server.log" 2>/dev/null ||
      fail "the server did not start"
    port=""
  done
  [ -n "$port" ] || fail "no free port to listen on"
  "$bin/pg_isready" -q -h 127.0.0.1 -p "$port" -t 30 || fail "the server does not accept connections"

  "$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$home" -p "$port" -U postgres -d postgres \
    -c "create role $role login createdb createrole" -c "create database $database owner $role" \
    >/dev/null || fail "could not create the role and the database"

  echo "host=127.0.0.1 port=$port dbname=$database user=$role" > "$dir/conninfo"
  echo "host=$home port=$port dbname=$database user=$role" > "$dir/conninfo-socket"
}

case $action in
  start) start ;;
  stop) stop ;;
  *) usage ;;
esac
