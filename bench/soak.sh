#!/usr/bin/env bash
# Builds the bridge and runs the soak: client cycles with reconnects, takeovers and speed records.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh x86_64 >/dev/null
exec /usr/bin/python3 bench/soak.py "$@"
