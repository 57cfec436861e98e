#!/usr/bin/env bash
# Peak resident memory of `zirvak-cli decode FILE /dev/null` on a 1-minute and a 60-minute
# 320 kbit/s MP3, FLAC file, Opus file and WavPack file (hybrid, with its correction file), and
# the time `zirvak-cli info` takes to open the long
# MP3 (its header scan walks every frame). Memory must not grow with the file: at most 16 MiB
# for each 60-minute file, and within 2 MiB of the 1-minute one. Exits 1 when a limit is broken.
#
# The MP3 files are the demo song encoded by lame at 320 kbit/s without a VBR header, repeated
# into a stream of the length wanted; the FLAC and Opus files the demo song's samples repeated
# and encoded by flac, opusenc and wavpack (all made once in DIR, default build/bench-files).
# Needs Debian's lame, flac, opus-tools, wavpack and time.
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
if [ ! -f "$dir/long-60min.wvc" ]; then
    pcm=$(mktemp)
    "$cli" decode res/demo.mp3 "$pcm"  # 44100 Hz, stereo, 16-bit, no header
    repeat() { for _ in $(seq "$1"); do cat "$pcm"; done; }
    raw="--force-raw-format --endian=little --sign=signed --channels=2 --bps=16 --sample-rate=44100"
    for n in 2:1min 113:60min; do
        # shellcheck disable=SC2086
        repeat "${n%%:*}" | flac --silent --force $raw -o "$dir/long-${n#*:}.flac" -
        repeat "${n%%:*}" | opusenc --quiet --raw --raw-rate 44100 - "$dir/long-${n#*:}.opus"
        repeat "${n%%:*}" >"$dir/long.raw"
        wavpack -q -y -b4 -c --raw-pcm=44100,16s,2,le "$dir/long.raw" -o "$dir/long-${n#*:}.wv"
        rm -f "$dir/long.raw"
    done
    rm -f "$pcm"
fi

peak_kib() {  # peak resident set size of `cli decode FILE /dev/null`, in KiB
    /usr/bin/time -f "%M" "$cli" decode "$1" /dev/null 2>&1 >/dev/null | tail -n 1
}
short=$(peak_kib "$dir/long-1min-320.mp3")
long=$(peak_kib "$dir/long-60min-320.mp3")
flac_short=$(peak_kib "$dir/long-1min.flac")
flac_long=$(peak_kib "$dir/long-60min.flac")
opus_short=$(peak_kib "$dir/long-1min.opus")
opus_long=$(peak_kib "$dir/long-60min.opus")
wv_short=$(peak_kib "$dir/long-1min.wv")
wv_long=$(peak_kib "$dir/long-60min.wv")
frames=$("$cli" info "$dir/long-60min-320.mp3" | awk '/^frames:/ { print $2 }')
start=$(date +%s%N)
"$cli" info "$dir/long-60min-320.mp3" >/dev/null
scan_ms=$(( ($(date +%s%N) - start) / 1000000 ))

awk -v s="$short" -v l="$long" -v f="$frames" -v ms="$scan_ms" \
    -v fs="$flac_short" -v fl="$flac_long" -v os="$opus_short" -v ol="$opus_long" \
    -v ws="$wv_short" -v wl="$wv_long" 'BEGIN {
    printf "peak resident memory of zirvak-cli decode FILE /dev/null\n"
    printf "  1-minute 320 kbit/s MP3:   %6.1f MiB\n", s / 1024
    printf "  60-minute 320 kbit/s MP3:  %6.1f MiB  (at most 16 MiB)\n", l / 1024
    printf "  difference:                %6.1f MiB  (at most 2 MiB)\n", (l - s) / 1024
    printf "  1-minute FLAC:             %6.1f MiB\n", fs / 1024
    printf "  60-minute FLAC:            %6.1f MiB  (at most 16 MiB)\n", fl / 1024
    printf "  difference:                %6.1f MiB  (at most 2 MiB)\n", (fl - fs) / 1024
    printf "  1-minute Opus:             %6.1f MiB\n", os / 1024
    printf "  60-minute Opus:            %6.1f MiB  (at most 16 MiB)\n", ol / 1024
    printf "  difference:                %6.1f MiB  (at most 2 MiB)\n", (ol - os) / 1024
    printf "  1-minute WavPack + .wvc:   %6.1f MiB\n", ws / 1024
    printf "  60-minute WavPack + .wvc:  %6.1f MiB  (at most 16 MiB)\n", wl / 1024
    printf "  difference:                %6.1f MiB  (at most 2 MiB)\n", (wl - ws) / 1024
    printf "opening the 60-minute file (zirvak-cli info, header scan of %d frames): %d ms, %.2f us a frame\n", f, ms, ms * 1000 / f
    bad = 0
    if (l > 16 * 1024 || l - s > 2 * 1024) bad = 1
    if (fl > 16 * 1024 || fl - fs > 2 * 1024) bad = 1
    if (ol > 16 * 1024 || ol - os > 2 * 1024) bad = 1
    if (wl > 16 * 1024 || wl - ws > 2 * 1024) bad = 1
    exit bad
}'
