#!/usr/bin/env bash
# Every example type-checks against the declarations in types/ (tsc with
# --checkJs), and a file of known misuses does not.
set -euo pipefail
src=$1
tools=$2/tools
tsc="$tools/node_modules/.bin/tsc"
if [ ! -x "$tsc" ]; then
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-audit --no-fund --loglevel=error typescript@5.9.3 >/dev/null
fi
"$tsc" -p "$src/types/tsconfig.json"
echo "examples type-check: $(ls "$src"/examples/*.js | wc -l) files"
if out=$("$tsc" -p "$src/tests/types/tsconfig.misuse.json" 2>&1); then
  echo "the misuse file type-checked: the declarations check nothing"; exit 1
fi
errors=$(printf '%s\n' "$out" | grep -c 'error TS' || true)
[ "$errors" -ge 4 ] || { echo "expected 4 misuses reported, got $errors:"; echo "$out"; exit 1; }
echo "misuses reported: $errors"
