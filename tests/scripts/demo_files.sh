#!/usr/bin/env bash
# The demo installation's form, messages, INI and help files are built from
# the UTF-8 sources in scripts/demo-src/; checks that demo/ holds exactly
# what the sources give.
set -euo pipefail
command -v python3 >/dev/null || { echo "python3 not found"; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
python3 scripts/make-demo-files.py "$out" >/dev/null
status=0
while IFS= read -r -d '' file; do
  rel=${file#"$out"/}
  if ! cmp -s "$file" "demo/$rel"; then
    echo "demo/$rel differs from its source; run scripts/make-demo-files.py"
    status=1
  fi
done < <(find "$out" -type f -print0)
exit $status
