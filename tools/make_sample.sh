#!/usr/bin/env bash
# Makes res/sample.mp2: four seconds of a small synthesised tune (a chord over a kick drum),
# encoded as MPEG-1 Layer II, 160 kbit/s stereo. Needs Debian's sox and twolame.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sox -n -r 44100 -c 2 -b 16 "$tmp/chord.wav" synth 4 sine 220 sine 277.18 sine 329.63 \
    tremolo 2 40 fade 0.05 4 0.3 gain -9
sox -n -r 44100 -c 2 -b 16 "$tmp/kick.wav" synth 0.12 sine 90-40 fade 0 0.12 0.1 pad 0 0.38 \
    repeat 7 gain -3
sox -m "$tmp/chord.wav" "$tmp/kick.wav" "$tmp/mix.wav" norm -1
twolame --quiet -b 160 "$tmp/mix.wav" res/sample.mp2
ls -l res/sample.mp2
