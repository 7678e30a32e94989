#!/usr/bin/env bash
# Installs what is needed, builds the news library and its demo host, and runs the news demo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh x86_64 >/dev/null
exec /usr/bin/python3 tools/news_demo.py "$@"
