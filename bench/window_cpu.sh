#!/usr/bin/env bash
# The window's CPU while it plays, visible and minimised, next to `zirvak-cli play`'s, each over
# SECONDS (default 10) of the same songs: percent of one core, from the processes' own user and
# system time. On a private X server with a window manager (Xvfb and openbox) and SDL's dummy
# sound output, so neither the desktop nor a sound server is touched. Minimised, the window
# should cost no more than about 0.2 % of a core beyond the terminal player.
#   bench/window_cpu.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
app=${ZIRVAK_APP:-build/release/src/app/zirvak}
cli=${ZIRVAK_CLI:-build/release/src/cli/zirvak-cli}
songs=(res/demo.mp3 res/demo.mp3 res/demo.mp3)  # longer than the three runs together
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

export SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus QT_QPA_PLATFORM=xcb
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(head -n 1 "$work/display")
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.05; done

ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Percent of a core process $1 takes over $seconds.
measure() {
    local before after
    before=$(cpu_ticks "$1")
    sleep "$seconds"
    after=$(cpu_ticks "$1")
    echo "scale=2; 100 * ($after - $before) / ($ticks * $seconds)" | bc
}

"$app" "${songs[@]}" 2>/dev/null &
window=$!
pids+=($window)
for _ in $(seq 100); do xdotool search --pid "$window" --onlyvisible >/dev/null 2>&1 && break; sleep 0.1; done
sleep 2  # playing, the butterfly in the air
visible=$(measure "$window")
xdotool search --pid "$window" --onlyvisible | while read -r id; do xdotool windowminimize "$id"; done
sleep 1
minimised=$(measure "$window")
kill "$window"

"$cli" play "${songs[@]}" >/dev/null 2>&1 </dev/null &
terminal=$!
pids+=($terminal)
sleep 2
played=$(measure "$terminal")
kill "$terminal"

printf '%-28s %6s %% of a core\n' "window, visible:" "$visible" "window, minimised:" "$minimised" \
    "zirvak-cli play:" "$played"
printf '%-28s %6s %% of a core (aim: 0.2 at most)\n' "minimised beyond the terminal:" \
    "$(echo "scale=2; $minimised - $played" | bc)"
