#!/usr/bin/env bash
# Builds Sorvanta and starts the show on the current display. Extra arguments go to the program (e.g. /c).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  echo "sorvanta: no display to show on (DISPLAY is not set). Run this from a desktop session," >&2
  echo "or under a virtual X server: xvfb-run -a -s '-screen 0 1024x768x24' $0" >&2
  exit 1
fi
tools/build.sh default
exec build/sorvanta "${@:-/s}"
