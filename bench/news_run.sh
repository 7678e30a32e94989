#!/usr/bin/env bash
# Builds and runs the news fetch benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh x86_64 >/dev/null
exec /usr/bin/python3 bench/news_run.py "$@"
