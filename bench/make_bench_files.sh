#!/usr/bin/env bash
# Makes the benchmark inputs in DIR (default build/bench-files): a two-minute stereo piece
# (a chord over pink noise with a beat, so every band is busy) encoded at 128 and 320 kbit/s
# with lame. Files already there are kept. Needs Debian's sox and lame.
set -euo pipefail
dir=${1:-build/bench-files}
mkdir -p "$dir"
if [ ! -f "$dir/bench-320.mp3" ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    sox -n -r 44100 -c 2 -b 16 "$tmp/tones.wav" synth 120 sine 220 sine 330 sine 440 \
        tremolo 2 50 gain -14
    sox -n -r 44100 -c 2 -b 16 "$tmp/noise.wav" synth 120 pinknoise tremolo 4 80 gain -12
    sox -m "$tmp/tones.wav" "$tmp/noise.wav" "$tmp/mix.wav" norm -2
    lame --quiet --noreplaygain -b 128 "$tmp/mix.wav" "$dir/bench-128.mp3"
    lame --quiet --noreplaygain -b 320 "$tmp/mix.wav" "$dir/bench-320.mp3"
fi
echo "$dir"
