#!/usr/bin/env bash
# A fresh demo installation holds the demo operators in its operator file
# and one intranet line per operator whose apr1 hash checks against the
# operator's code.
set -euo pipefail
build=$1
[ -x "$build/xtdata" ] || { echo "xtdata not built"; exit 1; }
command -v openssl >/dev/null || { echo "openssl not found"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scripts/install-demo.sh "$build" "$work/inst"

codes=$("$build/xtdata" dump "$work/inst/Operador" 2>/dev/null | awk '/^0000:/ { print substr($0, 56, 8) }' | sed 's/ *$//')
expected=$'ADMIN\nJORDI\nMARIA\nNURIA\nPERE'
if [ "$codes" != "$expected" ]; then
  echo "operator file holds: $codes"
  exit 1
fi

users=$(cut -d: -f1 "$work/inst/.HTPASSWD")
if [ "$users" != "$expected" ]; then
  echo ".HTPASSWD users: $users"
  exit 1
fi
if grep -qv $'\r$' "$work/inst/.HTPASSWD"; then
  echo ".HTPASSWD lines must end in CR LF"
  exit 1
fi
while IFS=: read -r user hash; do
  hash=${hash%$'\r'}
  salt=$(echo "$hash" | cut -d'$' -f3)
  if [ "$(openssl passwd -apr1 -salt "$salt" "$user")" != "$hash" ]; then
    echo "hash of $user does not check"
    exit 1
  fi
done < "$work/inst/.HTPASSWD"

# The session signs on as ADMIN, who must be one of the operators.
grep -q '^Operador=ADMIN' "$work/inst/sessio/Sessio.ini"
echo "demo operators ok"
