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
# The set-up's decoding is counted in the whole run; the steady cost is measured after it.
settle=5
[ "$seconds" -gt $((settle * 2)) ] || settle=$((seconds / 2))
sleep "$settle"
ticks_settled=$(awk '{print $14 + $15}' "/proc/$pid/stat")
settled=$(date +%s.%N)
sleep $((seconds - settle))
ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat")
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
end=$(date +%s.%N)
xdotool key Escape
wait "$pid" || true

hz=$(getconf CLK_TCK)
stats=$(grep -o 'frames=.*' "$work/stderr" | tail -n1 || true)
field() { sed -n "s/.*$1=\([0-9.-]*\).*/\1/p" <<<"$stats"; }
frames=$(field frames)
first=$(field first_frame_ms)
hearth=$(field first_hearth_ms)
awk -v t="$ticks" -v t0="$ticks_settled" -v hz="$hz" -v s="$start" -v m="$settled" -v e="$end" \
    -v f="${frames:-0}" -v first="${first:-?}" -v hearth="${hearth:-?}" -v hwm="$hwm" 'BEGIN {
  wall = e - s
  printf "wall time            %.1f s\n", wall
  printf "CPU per second       %.3f s/s (%.1f %% of one core), set-up included\n", t / hz / wall, 100 * t / hz / wall
  printf "CPU once running     %.3f s/s (%.1f %% of one core)\n", (t - t0) / hz / (e - m), 100 * (t - t0) / hz / (e - m)
  printf "frames shown         %.1f per second\n", f / wall
  printf "first frame after    %s ms (black, as the display opens)\n", first
  printf "first hearth after   %s ms\n", hearth
  printf "peak resident memory %.1f MB\n", hwm / 1024
}'
