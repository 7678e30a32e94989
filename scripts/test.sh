#!/usr/bin/env bash
# Runs every test: native unit tests, Windows tests under wine64, end-to-end tests of the built programs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh all

echo "== native unit tests"
build/native/unit_tests

echo "== i686 release build"
file_format=$(i686-w64-mingw32-objdump -f build/i686/vextor.exe | grep -o 'pei-i386' || true)
[ "$file_format" = pei-i386 ] || { echo "i686 vextor.exe is not a 32-bit PE"; exit 1; }
echo "build/i686/vextor.exe: $file_format"

echo "== Windows tests under wine64"
export LC_ALL=pl_PL.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$(mktemp -d /tmp/vextor-wintests.XXXXXX)
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
/usr/lib/wine/wine64 build/x86_64/win_tests.exe

echo "== end-to-end tests"
export VEXTOR_OWN_DISPLAY=1
cd tests/e2e
/usr/bin/python3 -m pytest -q -p no:cacheprovider "$@"
