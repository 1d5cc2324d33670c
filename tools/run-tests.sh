#!/usr/bin/env bash
# Builds Sorvanta and runs every test (under a private virtual X server). $1: preset (default, asan, tsan).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
tools/build.sh "$preset"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  ctest --preset "$preset" -j2 --timeout 600
