#!/usr/bin/env bash
# Installs what the tests need, builds the x86_64 programs and measures the panel beside the service.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh x86_64 >/dev/null
exec /usr/bin/python3 bench/service_panel.py "$@"
