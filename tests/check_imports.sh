#!/usr/bin/env bash
# Every program and module imports system DLLs only (the GCC runtime,
# libstdc++, winpthread, libpng and zlib are linked statically); tarnic.dll
# may also import libusb0.dll, which users install with libusb-win32.
set -euo pipefail
bin=$1
system='^(kernel32|user32|gdi32|msvcrt|shell32|comctl32|comdlg32|msimg32|winmm|ole32|oleaut32|advapi32|shlwapi|uuid)\.dll$'
status=0
for f in "$bin"/scripthost.exe "$bin"/zorvex.dll "$bin"/pellun.dll "$bin"/tarnic.dll; do
  [ -f "$f" ] || continue
  allowed=$system
  [ "$(basename "$f")" = tarnic.dll ] && allowed="${system%\$}|^libusb0\\.dll\$"
  while read -r dll; do
    lower=$(printf '%s' "$dll" | tr 'A-Z' 'a-z')
    if ! printf '%s\n' "$lower" | grep -qE "$allowed"; then
      echo "$(basename "$f") imports $dll, which is not a system DLL"
      status=1
    fi
  done < <(i686-w64-mingw32-objdump -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p')
  echo "$(basename "$f"): $(i686-w64-mingw32-objdump -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')"
done
exit $status
