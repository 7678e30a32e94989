#!/usr/bin/env bash
# Fails when a layer of the bridge reaches up: core <- engine <- faces (the panel, the service).
# The core is plain C++ (no Windows header, no framework); the engine knows no window of a face.
set -uo pipefail
cd "$(dirname "$0")/.."
bad=0
report() { echo "layer check: $1"; bad=1; }
while IFS= read -r hit; do report "$hit: the portable core includes Windows or the framework"; done < <(
  grep -nE '#include\s*[<"]([^">]*/)?(windows|winsock2?|ws2tcpip|dbt|setupapi|winsvc|Afx)\.h[>"]|#include\s*"[^"]*framework/' bridge/core/* 2>/dev/null)
while IFS= read -r hit; do report "$hit: the portable core includes a layer above it"; done < <(
  grep -nE '#include\s*"[^"]*(engine|panel|service)/' bridge/core/* 2>/dev/null)
while IFS= read -r hit; do report "$hit: the engine includes a face or its resources"; done < <(
  grep -nE '#include\s*"[^"]*(panel|service)/|#include\s*"([^"]*/)?resource\.h"' bridge/engine/* 2>/dev/null)
[ "$bad" -eq 0 ] && echo "layer check: core <- engine <- faces holds"
exit "$bad"
