#!/usr/bin/env bash
# A real Apache httpd on 127.0.0.1 checks the access files the program
# writes: each operator's password gets 200, a wrong one 401, a removed
# operator 401, and the password file itself 403. Fails without
# apache2-bin or curl.
set -u
build=${1:?build directory}
httpd=/usr/sbin/apache2
modules=/usr/lib/apache2/modules
driver=$build/intranet_driver

[ -x "$httpd" ] && [ -d "$modules" ] && command -v curl >/dev/null || { echo "no apache2-bin or curl"; exit 1; }
[ -x "$driver" ] || { echo "missing $driver"; exit 1; }

umask 022
work=$(mktemp -d /tmp/xt-apache-XXXXXX)
chmod 755 "$work"
site=$work/site
mkdir -p "$site"
echo "intranet page" > "$site/index.html"
server=""

cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$server" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$server" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {  # check WHAT EXPECTED_CODE CURL_ARGS...
  local what=$1 expected=$2; shift 2
  local code
  code=$(curl -s --noproxy '*' -o /dev/null -w '%{http_code}' --max-time 5 "$@")
  if [ "$code" = "$expected" ]; then
    echo "ok   $what: $code"
  else
    echo "FAIL $what: got $code, expected $expected"
    failures=$((failures + 1))
  fi
}

# The operators' files, written by the program's own rewrite. The form
# passes the operator code as both user and password.
for op in ADMIN JOSEP MARIA; do
  "$driver" "$site" "$op" "$op" || { echo "FAIL driver for $op"; exit 1; }
done
"$driver" "$site" MARIA MARIA remove || { echo "FAIL driver remove"; exit 1; }
"$driver" "$site" ADMIN ADMIN || { echo "FAIL driver rewrite"; exit 1; }
"$driver" "$site" 'BAD:USER' x && { echo "FAIL a user with ':' was written"; failures=$((failures + 1)); }
echo "--- .HTACCESS"; cat "$site/.HTACCESS"
echo "--- .HTPASSWD"; cat "$site/.HTPASSWD"

user_lines=""
if [ "$(id -u)" = 0 ]; then
  user_lines="User www-data
Group www-data"
fi
mpm=mpm_event
[ -f "$modules/mod_mpm_event.so" ] || mpm=mpm_prefork

start_server() {  # start_server PORT -> sets server, 0 when it answers
  local port=$1
  cat > "$work/httpd.conf" <<CONF
ServerRoot "$work"
ServerName 127.0.0.1
Listen 127.0.0.1:$port
PidFile "$work/httpd.pid"
DefaultRuntimeDir "$work"
ErrorLog "$work/error.log"
LogLevel warn
$user_lines
LoadModule ${mpm}_module $modules/mod_${mpm}.so
LoadModule authn_core_module $modules/mod_authn_core.so
LoadModule authn_file_module $modules/mod_authn_file.so
LoadModule auth_basic_module $modules/mod_auth_basic.so
LoadModule authz_core_module $modules/mod_authz_core.so
LoadModule authz_user_module $modules/mod_authz_user.so
DocumentRoot "$site"
AccessFileName .HTACCESS
<Directory />
  AllowOverride None
  Require all denied
</Directory>
<Directory "$site">
  AllowOverride AuthConfig
  Require all granted
</Directory>
<FilesMatch "(?i)^\.ht">
  Require all denied
</FilesMatch>
CONF
  "$httpd" -f "$work/httpd.conf" -DFOREGROUND &
  server=$!
  for _ in $(seq 50); do
    kill -0 "$server" 2>/dev/null || { server=""; return 1; }
    code=$(curl -s --noproxy '*' -o /dev/null -w '%{http_code}' --max-time 2 "http://127.0.0.1:$port/")
    [ "$code" != "000" ] && return 0
    sleep 0.1
  done
  return 1
}

port=""
for attempt in 1 2 3 4 5; do
  candidate=$((20000 + RANDOM % 40000))
  if start_server "$candidate"; then port=$candidate; break; fi
  [ -n "$server" ] && { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; server=""; }
done
if [ -z "$port" ]; then
  echo "FAIL: the web server did not start"; cat "$work/error.log" 2>/dev/null
  exit 1
fi

url=http://127.0.0.1:$port
check "ADMIN with its password" 200 -u ADMIN:ADMIN "$url/index.html"
check "JOSEP with its password" 200 -u JOSEP:JOSEP "$url/index.html"
check "ADMIN with a wrong password" 401 -u ADMIN:WRONG "$url/index.html"
check "JOSEP with ADMIN's password" 401 -u JOSEP:ADMIN "$url/index.html"
check "removed MARIA" 401 -u MARIA:MARIA "$url/index.html"
check "no credentials" 401 "$url/index.html"
check ".HTPASSWD itself" 403 -u ADMIN:ADMIN "$url/.HTPASSWD"
check ".HTACCESS itself" 403 -u ADMIN:ADMIN "$url/.HTACCESS"
check ".htpasswd in lower case" 403 -u ADMIN:ADMIN "$url/.htpasswd"

if [ "$failures" -ne 0 ]; then
  echo "--- error.log"; cat "$work/error.log"
  exit 1
fi
echo "all checks passed"
