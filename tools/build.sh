#!/usr/bin/env bash
# Configures and builds Sorvanta in build/ (or the preset given as $1: default, asan, tsan).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
tools/deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
