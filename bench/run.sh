#!/usr/bin/env bash
# Installs the peers and strace, builds the bridge and runs the side-by-side benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
command -v ser2net >/dev/null || { apt-get update -qq; DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ser2net >/dev/null; }
command -v strace >/dev/null || { apt-get update -qq; DEBIAN_FRONTEND=noninteractive apt-get install -y -qq strace >/dev/null; }
bash scripts/build.sh x86_64 >/dev/null
exec /usr/bin/python3 bench/run.py "$@"
