#!/usr/bin/env bash
# Runs every test: native unit tests (also under sanitizers), short fuzzing runs, Windows tests under wine64,
# end-to-end tests of the built programs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/check_layers.sh
bash scripts/build.sh all

echo "== native unit tests"
build/native/unit_tests
echo "== native unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
build/sanitize/unit_tests --gtest_brief=1
echo "== fuzz targets of the portable cores, a few seconds each"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-5}"

echo "== i686 release build"
for artifact in build/i686/vextor.exe build/i686/MorvekNews.dll; do
  file_format=$(i686-w64-mingw32-objdump -f "$artifact" | grep -o 'pei-i386' || true)
  [ "$file_format" = pei-i386 ] || { echo "$artifact is not a 32-bit PE"; exit 1; }
  echo "$artifact: $file_format"
done

echo "== release: setup program, kit for news hosts, checksums; a second build compared byte for byte"
bash scripts/release.sh --verify

echo "== Windows tests under wine64"
export LC_ALL=pl_PL.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$(mktemp -d /tmp/vextor-wintests.XXXXXX)
# One private X display for every test that opens a window. Xvfb picks a free one itself and
# writes its number once it serves: a lock file here does not see a display of another root.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WINEPREFIX.display" >/dev/null 2>&1 &
xvfb=$!
news_server="" exchange=""
trap 'kill $news_server $exchange 2>/dev/null || true; /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true; rm -rf "$WINEPREFIX" "$WINEPREFIX.display"' EXIT
for _ in $(seq 300); do grep -q '^[0-9]' "$WINEPREFIX.display" 2>/dev/null && break; sleep 0.1; done
grep -q '^[0-9]' "$WINEPREFIX.display" || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(head -n1 "$WINEPREFIX.display")
# The prefix and its services first, kept up meanwhile: Wine's services rewrite the COM links
# when they start afresh. Then COM2 leads to a simulated exchange that echoes every byte, and
# COM1 to a device that opens but is no serial line.
/usr/lib/wine/wineserver -p >/dev/null 2>&1
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
ln -sfn /dev/null "$WINEPREFIX/dosdevices/com1"
/usr/bin/python3 tools/exchange_sim.py --link "$WINEPREFIX/dosdevices/com2" --mode echo >"$WINEPREFIX/exchange.txt" &
exchange=$!
for _ in $(seq 100); do grep -q linked "$WINEPREFIX/exchange.txt" && break; sleep 0.1; done
# The news server for the fetch tests: one mode per port from NEWS_SERVER_PORT on.
export NEWS_SERVER_PORT=$(/usr/bin/python3 -c '
import socket
for base in range(17700, 40000, 10):
    try:
        socks = [socket.create_server(("127.0.0.1", base + i)) for i in range(8)]
    except OSError:
        continue
    print(base)
    break')
/usr/bin/python3 tools/news_server.py --port "$NEWS_SERVER_PORT" >/dev/null &
news_server=$!
/usr/bin/python3 -c '
import socket, sys, time
deadline = time.monotonic() + 20
while True:
    try:
        socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=1).close()
        break
    except OSError:
        if time.monotonic() > deadline:
            sys.exit("news server did not start")
        time.sleep(0.1)' "$NEWS_SERVER_PORT"
/usr/lib/wine/wine64 build/x86_64/win_tests.exe

echo "== end-to-end tests"
cd tests/e2e
/usr/bin/python3 -m pytest -q -p no:cacheprovider "$@"
