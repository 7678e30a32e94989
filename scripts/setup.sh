#!/usr/bin/env bash
# Installs what building, running and testing need on a fresh Debian machine (idempotent).
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(mingw-w64)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
command -v Xvfb >/dev/null || need+=(xvfb xauth)
command -v socat >/dev/null || need+=(socat)
command -v localedef >/dev/null && [ -d /usr/share/i18n/locales ] || need+=(locales)
[ -d /usr/src/googletest ] || need+=(googletest)
# Every Python module a test or tool imports comes from a package named here, in the same commit.
/usr/bin/python3 -c 'import pytest' 2>/dev/null || need+=(python3-pytest)
/usr/bin/python3 -c 'import serial' 2>/dev/null || need+=(python3-serial)  # the RFC 2217 client
command -v xwd >/dev/null || need+=(x11-apps)
command -v xwininfo >/dev/null || need+=(x11-utils)  # finds a window by a title outside ASCII for xwd
# The package, not a command named convert: another program may carry that name.
dpkg-query -W -f='${Status}' imagemagick 2>/dev/null | grep -q 'ok installed' || need+=(imagemagick)
command -v g++ >/dev/null || need+=(g++)
command -v makensis >/dev/null || need+=(nsis)           # the setup program
command -v 7z >/dev/null || need+=(p7zip-full)          # checking what the setup program holds
command -v zip >/dev/null || need+=(zip)
command -v nc >/dev/null || need+=(netcat-openbsd)  # for talking to the demo
command -v ss >/dev/null || need+=(iproute2)        # ss shows the keepalive timers of the bridge's connections
command -v clang++ >/dev/null || need+=(clang)   # the fuzzing build
ls /usr/lib/llvm-14/lib/clang/14*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-14-dev)

if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  echo "setup: installing ${need[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
fi

# Wine takes the Polish code page (1250) from the locale.
if ! locale -a 2>/dev/null | grep -qi '^pl_PL.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO localedef -i pl_PL -f UTF-8 pl_PL.UTF-8
fi
