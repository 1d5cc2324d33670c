#!/usr/bin/env bash
# Runs the show under a private Xvfb for a while and reports what it costs: CPU seconds per
# second, frames shown per second, time from start to the first frame, peak resident memory.
# Usage: bench/show/measure.sh [seconds] [path to sorvanta]
set -euo pipefail
seconds="${1:-20}"
exe="${2:-$(dirname "$0")/../../build/sorvanta}"
[ -x "$exe" ] || { echo "no program at $exe (build first: tools/build.sh)" >&2; exit 1; }
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "needs Xvfb and xdotool" >&2; exit 1; }

work=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
exec 3>"$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/displayfd" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/displayfd")"

export XDG_CONFIG_HOME="$work/config" SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}" SORVANTA_STATS=1
start=$(date +%s.%N)
"$exe" /s 2>"$work/stderr" &
pid=$!
sleep "$seconds"
ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat")
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
end=$(date +%s.%N)
xdotool key Escape
wait "$pid" || true

hz=$(getconf CLK_TCK)
stats=$(grep -o 'frames=[0-9]* first_frame_ms=[0-9.]*' "$work/stderr" | tail -n1 || true)
frames=$(sed -n 's/.*frames=\([0-9]*\).*/\1/p' <<<"$stats")
first=$(sed -n 's/.*first_frame_ms=\([0-9.]*\).*/\1/p' <<<"$stats")
awk -v t="$ticks" -v hz="$hz" -v s="$start" -v e="$end" -v f="${frames:-0}" -v first="${first:-?}" -v hwm="$hwm" 'BEGIN {
  wall = e - s
  printf "wall time            %.1f s\n", wall
  printf "CPU per second       %.3f s/s (%.1f %% of one core)\n", t / hz / wall, 100 * t / hz / wall
  printf "frames shown         %.1f per second\n", f / wall
  printf "first frame after    %s ms\n", first
  printf "peak resident memory %.1f MB\n", hwm / 1024
}'
