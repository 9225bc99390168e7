#!/usr/bin/env bash
# A real Apache httpd on 127.0.0.1, configured with the shipped intranet
# snippet (packaging/apache/xtancar-intranet.conf, or the file named by the
# second argument or XT_APACHE_SNIPPET, e.g. the copy a package installed),
# checks the access files the program writes: each operator's password gets
# 200, a wrong one 401, a removed operator 401; the access files and the
# program's own files are refused (403) in every letter case; a request from
# outside the allowed network is refused with the right password; an
# installation without .HTACCESS serves nothing; .HTPASSWD keeps the mode
# and group the web server reads it through. Fails without apache2-bin or
# curl.
#   intranet_apache.sh BUILD_DIR [SNIPPET]
set -u
build=${1:?build directory}
here=$(cd "$(dirname "$0")" && pwd)
snippet=${2:-${XT_APACHE_SNIPPET:-$here/../../packaging/apache/xtancar-intranet.conf}}
httpd=/usr/sbin/apache2
modules=/usr/lib/apache2/modules
driver=$build/intranet_driver

[ -x "$httpd" ] && [ -d "$modules" ] && command -v curl >/dev/null || { echo "no apache2-bin or curl"; exit 1; }
[ -x "$driver" ] || { echo "missing $driver"; exit 1; }
[ -r "$snippet" ] || { echo "missing $snippet"; exit 1; }
snippet=$(cd "$(dirname "$snippet")" && pwd)/$(basename "$snippet")
echo "snippet: $snippet"

umask 022
work=$(mktemp -d /tmp/xt-apache-XXXXXX)
chmod 755 "$work"
# www plays the part of a tree the server serves anyway (Debian's /var/www):
# the snippet must keep the installations in it closed by itself.
www=$work/www
site=$www/tav
fresh=$www/fresh
mkdir -p "$site" "$fresh"
echo "intranet page" > "$site/index.html"
echo "intranet page" > "$fresh/index.html"
# The program's own files beside the pages (contents do not matter).
for f in Operador.dat Operador.dat-wal db.log Vexa.ini PWD.TMP; do echo x > "$site/$f"; done
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
check() {  # check WHAT EXPECTED_CODE HOST PATH CURL_ARGS...
  local what=$1 expected=$2 host=$3 path=$4; shift 4
  local code
  code=$(curl -s --noproxy '*' -o /dev/null -w '%{http_code}' --max-time 5 -H "Host: $host" "$@" "$url$path")
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
"$driver" "$site" 'BAD:USER' x && { echo "FAIL a user with ':' was written"; failures=$((failures + 1)); }

# .HTPASSWD readable by the web server through its group only (mode 0640),
# as the README sets it up; the next rewrite must keep both.
user_lines=""
web_group=$(id -gn)
if [ "$(id -u)" = 0 ]; then
  user_lines="User www-data
Group www-data"
  web_group=www-data
fi
chgrp "$web_group" "$site/.HTPASSWD" && chmod 0640 "$site/.HTPASSWD" || { echo "FAIL chgrp/chmod"; exit 1; }
"$driver" "$site" ADMIN ADMIN || { echo "FAIL driver rewrite"; exit 1; }
kept=$(stat -c '%a %G' "$site/.HTPASSWD")
if [ "$kept" = "640 $web_group" ]; then echo "ok   .HTPASSWD kept mode and group: $kept"
else echo "FAIL .HTPASSWD after the rewrite: $kept, expected 640 $web_group"; failures=$((failures + 1)); fi
echo "--- .HTACCESS"; cat "$site/.HTACCESS"
echo "--- .HTPASSWD"; cat "$site/.HTPASSWD"

mpm=mpm_event
[ -f "$modules/mod_${mpm}.so" ] || mpm=mpm_prefork

# Three virtual hosts on one port, each including the snippet as shipped:
# the installation with the default network (loopback), the same seen from
# a network 127.0.0.1 is not in, and an installation without .HTACCESS.
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
LoadModule authz_host_module $modules/mod_authz_host.so
<Directory />
  AllowOverride None
  Require all denied
</Directory>
<Directory "$www">
  Require all granted
</Directory>
<VirtualHost 127.0.0.1:$port>
  ServerName inside.test
  DocumentRoot "$site"
  Define XTANCAR_INTRANET "$site"
  Include "$snippet"
</VirtualHost>
<VirtualHost 127.0.0.1:$port>
  ServerName outside.test
  DocumentRoot "$site"
  Define XTANCAR_NETWORK "192.0.2.0/24 2001:db8::/32"
  Include "$snippet"
</VirtualHost>
<VirtualHost 127.0.0.1:$port>
  ServerName fresh.test
  DocumentRoot "$fresh"
  Define XTANCAR_INTRANET "$fresh"
  Define XTANCAR_NETWORK "127.0.0.1"
  Include "$snippet"
</VirtualHost>
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

in=inside.test
check "ADMIN with its password" 200 $in /index.html -u ADMIN:ADMIN
check "JOSEP with its password" 200 $in /index.html -u JOSEP:JOSEP
check "ADMIN with a wrong password" 401 $in /index.html -u ADMIN:WRONG
check "JOSEP with ADMIN's password" 401 $in /index.html -u JOSEP:ADMIN
check "removed MARIA" 401 $in /index.html -u MARIA:MARIA
check "no credentials" 401 $in /index.html

# Refused to a signed-on operator and to anyone, whatever the letter case
# (on this case-sensitive disk only .HTPASSWD and .HTACCESS exist).
for name in .HTPASSWD .htpasswd .HtPassWd .HTACCESS .htaccess .HTPASSWD.lck \
            Operador.dat operador.DAT Operador.dat-wal db.log Vexa.ini PWD.TMP; do
  check "$name with a password" 403 $in "/$name" -u ADMIN:ADMIN
done
check ".HTPASSWD without credentials" 403 $in /.HTPASSWD

check "ADMIN from outside the network" 403 outside.test /index.html -u ADMIN:ADMIN
check "no .HTACCESS yet" 403 fresh.test /index.html -u ADMIN:ADMIN

if [ "$failures" -ne 0 ]; then
  echo "--- error.log"; cat "$work/error.log"
  exit 1
fi
echo "all checks passed"
