#!/usr/bin/env bash
# Makes a fresh demo installation in TARGET: a copy of demo/ with the demo
# operators (scripts/demo-data/operadors.txt) loaded into the operator file
# through xtdata, and their intranet lines in .HTPASSWD, so the form starts
# with operators to browse, edit and delete.
# Usage: scripts/install-demo.sh BUILD-DIR TARGET-DIR
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD-DIR TARGET-DIR" >&2
  exit 2
fi
build=$1
target=$2
source="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$target"
cp -r "$source/demo/." "$target/"
"$build/xtdata" create "$target/Operador" "$target/ddf/Operador.xdf" >/dev/null
"$build/xtdata" load "$target/Operador" "$source/scripts/demo-data/operadors.txt" >/dev/null
cp "$source/scripts/demo-data/HTPASSWD" "$target/.HTPASSWD"
