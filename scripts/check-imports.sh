#!/usr/bin/env bash
# Fails when an executable imports a DLL that is not part of Windows itself
# (a missed static runtime shows up here as libstdc++, libgcc or libwinpthread).
set -euo pipefail
exe=$1
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|comctl32|comdlg32|ole32|oleaut32|uuid|winmm|version|wininet|msimg32|msvcrt|ws2_32|psapi|setupapi|ntdll|api-ms-win-crt-[a-z0-9-]+)\.dll$'
bad=0
while read -r dll; do
  lower=$(printf '%s' "$dll" | tr 'A-Z' 'a-z')
  if ! [[ $lower =~ $allowed ]]; then
    echo "error: $exe imports $dll, which is not part of Windows" >&2
    bad=1
  fi
done < <(objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
exit $bad
