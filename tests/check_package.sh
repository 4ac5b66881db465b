#!/usr/bin/env bash
# The release package: built, unpacked into a fresh folder, and an example
# run from there under Wine, so that a file missing from the zip fails.
set -euo pipefail
src=$1
build=$2
cmake --build "$build" --target package >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip="$build/scripthost-$version-win32.zip"
[ -f "$zip" ] || { echo "no $zip"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
python3 -m zipfile -e "$zip" "$dir"
top="$dir/scripthost-$version-win32"
for f in scripthost.exe README.txt examples/hello.js; do
  [ -f "$top/$f" ] || { echo "package lacks $f"; exit 1; }
done
for f in zorvex.dll pellun.dll tarnic.dll; do
  if [ -f "$build/bin/$f" ] && [ ! -f "$top/$f" ]; then echo "package lacks $f"; exit 1; fi
done
if find "$top" -iname 'libusb0.dll' | grep -q .; then
  echo "package holds a libusb0.dll: test fakes must not ship"; exit 1
fi
if find "$top" -iname '*test*' -o -iname 'hostcheck.dll' | grep -q .; then
  echo "package holds test programs"; exit 1
fi
out=$(cd "$top" && "$src/scripts/wine" scripthost.exe --version | tr -d '\r')
[ "$out" = "scripthost $version" ] || { echo "--version printed '$out', package is $version"; exit 1; }
out=$(cd "$top" && "$src/scripts/wine" scripthost.exe examples/hello.js packaged | tr -d '\r')
echo "$out"
printf '%s\n' "$out" | grep -q '^arguments: \["packaged"\]$'
echo "package: $(du -b "$zip" | cut -f1) bytes"
