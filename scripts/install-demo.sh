#!/usr/bin/env bash
# Makes a fresh demo installation in TARGET: a copy of demo/ with the demo
# operators (scripts/demo-data/operadors.txt) loaded into the operator file
# through xtdata, and their intranet lines in .HTPASSWD, so the form starts
# with operators to browse, edit and delete.
# Usage: scripts/install-demo.sh BUILD-DIR TARGET-DIR
# XT_TEMPLATE_DIR names another template to copy instead of demo/ (the one
# a package installs, /usr/share/xtancar/installation).
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD-DIR TARGET-DIR" >&2
  exit 2
fi
build=$1
target=$2
source="$(cd "$(dirname "$0")/.." && pwd)"
template=${XT_TEMPLATE_DIR:-$source/demo}
[ -f "$template/ddf/Operador.xdf" ] || { echo "$template is no installation template" >&2; exit 1; }
mkdir -p "$target"
cp -r "$template/." "$target/"
"$build/xtdata" create "$target/Operador" "$target/ddf/Operador.xdf" >/dev/null
"$build/xtdata" load "$target/Operador" "$source/scripts/demo-data/operadors.txt" >/dev/null
cp "$source/scripts/demo-data/HTPASSWD" "$target/.HTPASSWD"
