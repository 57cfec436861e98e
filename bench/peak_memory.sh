#!/usr/bin/env bash
# Peak resident memory of `zirvak-cli decode FILE /dev/null` on a 1-minute and a 60-minute
# 320 kbit/s MP3, and the time `zirvak-cli info` takes to open the long one (its header scan
# walks every frame). Memory must not grow with the file: at most 16 MiB for the 60-minute
# file, and within 2 MiB of the 1-minute one. Exits 1 when either limit is broken.
#
# The files are the demo song encoded by lame at 320 kbit/s without a VBR header, repeated into
# a stream of the length wanted (made once in DIR, default build/bench-files). Needs Debian's
# lame and time.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${ZIRVAK_CLI:-build/release/src/cli/zirvak-cli}
dir=${1:-build/bench-files}
mkdir -p "$dir"
if [ ! -f "$dir/long-60min-320.mp3" ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    "$cli" decode res/demo.mp3 "$tmp/demo.wav"
    lame --quiet --noreplaygain -t -b 320 "$tmp/demo.wav" "$tmp/demo-320.mp3"
    cat "$tmp/demo-320.mp3" "$tmp/demo-320.mp3" > "$dir/long-1min-320.mp3"
    for _ in $(seq 113); do cat "$tmp/demo-320.mp3"; done > "$dir/long-60min-320.mp3"
fi

peak_kib() {  # peak resident set size of `cli decode FILE /dev/null`, in KiB
    /usr/bin/time -f "%M" "$cli" decode "$1" /dev/null 2>&1 >/dev/null | tail -n 1
}
short=$(peak_kib "$dir/long-1min-320.mp3")
long=$(peak_kib "$dir/long-60min-320.mp3")
frames=$("$cli" info "$dir/long-60min-320.mp3" | awk '/^frames:/ { print $2 }')
start=$(date +%s%N)
"$cli" info "$dir/long-60min-320.mp3" >/dev/null
scan_ms=$(( ($(date +%s%N) - start) / 1000000 ))

awk -v s="$short" -v l="$long" -v f="$frames" -v ms="$scan_ms" 'BEGIN {
    printf "peak resident memory of zirvak-cli decode FILE /dev/null\n"
    printf "  1-minute 320 kbit/s MP3:   %6.1f MiB\n", s / 1024
    printf "  60-minute 320 kbit/s MP3:  %6.1f MiB  (at most 16 MiB)\n", l / 1024
    printf "  difference:                %6.1f MiB  (at most 2 MiB)\n", (l - s) / 1024
    printf "opening the 60-minute file (zirvak-cli info, header scan of %d frames): %d ms, %.2f us a frame\n", f, ms, ms * 1000 / f
    exit (l > 16 * 1024 || l - s > 2 * 1024) ? 1 : 0
}'
