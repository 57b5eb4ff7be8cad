#!/usr/bin/env bash
# The program that the setup installs passes the import check too: installs
# the given setup silently in the sandbox, checks the installed Vantorix.exe
# with scripts/check-imports.sh, and removes it again.
#   tests/installer/installed-imports.sh SETUP.exe   (inside scripts/sandbox.sh)
set -euo pipefail
[ -n "${VX_SANDBOX:-}" ] || { echo "installed-imports: run inside scripts/sandbox.sh" >&2; exit 2; }
root=$(cd "$(dirname "$0")/../.." && pwd)
setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
rel=${setup#"$VX_BUILD_ROOT"/}
folder='C:\VantorixImportCheck'
installed=$WINEPREFIX/drive_c/VantorixImportCheck
cd "$VX_BUILD_ROOT"
"$WINELOADER" "$VX_BUILD_DRIVE:\\${rel//\//\\}" /S "/D=$folder"
[ -f "$installed/Vantorix.exe" ] || { echo "error: the setup installed no $folder\\Vantorix.exe" >&2; exit 1; }
status=0
"$root/scripts/check-imports.sh" "$installed/Vantorix.exe" || status=1
[ $status -eq 0 ] && echo "installed Vantorix.exe imports only Windows' own DLLs"
# In place (_?=), so that this call returns when the uninstaller is done.
"$WINELOADER" "$folder\\uninstall.exe" /S "_?=$folder"
rm -rf "$installed"
exit $status
