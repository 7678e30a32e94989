#!/usr/bin/env bash
# Installs what is needed, builds the bridge and runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh x86_64 >/dev/null
exec /usr/bin/python3 tools/demo.py "$@"
