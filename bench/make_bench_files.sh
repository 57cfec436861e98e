#!/usr/bin/env bash
# Makes the benchmark inputs in DIR (default build/bench-files). Files already there are kept.
#
# Synthetic: a two-minute stereo piece (a chord over pink noise with a beat, so every band is
# busy) at 128 and 320 kbit/s. Real music: ten minutes of a game soundtrack that Debian ships in
# Ogg (colobot-common-sounds), which has what the synthetic piece lacks (many non-zero lines,
# long Huffman runs, short blocks), at 128 and 320 kbit/s CBR and VBR (-V 2) with lame and at
# 192 kbit/s Layer II with twolame. For the other kinds, the first two minutes of the same music
# as FLAC at 16 and 24 bits, Ogg Vorbis at oggenc's -q 5, Opus at opusenc's default and WavPack
# (lossless, and hybrid with and without its correction file). Needs
# Debian's sox, lame, twolame, flac, vorbis-tools, opus-tools, wavpack and colobot-common-sounds.
set -euo pipefail
dir=${1:-build/bench-files}
music=${ZIRVAK_BENCH_MUSIC:-/usr/share/games/colobot/music}
mkdir -p "$dir"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if [ ! -f "$dir/bench-320.mp3" ]; then
    sox -n -r 44100 -c 2 -b 16 "$tmp/tones.wav" synth 120 sine 220 sine 330 sine 440 \
        tremolo 2 50 gain -14
    sox -n -r 44100 -c 2 -b 16 "$tmp/noise.wav" synth 120 pinknoise tremolo 4 80 gain -12
    sox -m "$tmp/tones.wav" "$tmp/noise.wav" "$tmp/mix.wav" norm -2
    lame --quiet --noreplaygain -b 128 "$tmp/mix.wav" "$dir/bench-128.mp3"
    lame --quiet --noreplaygain -b 320 "$tmp/mix.wav" "$dir/bench-320.mp3"
fi

# Whole tracks in a fixed order.
tracks=()
for name in Humanitarian Infinite Constructive Quite Prototype Hv2 Proton; do
    tracks+=("$music/$name.ogg")
done

if [ ! -f "$dir/music-l2-192.mp2" ]; then
    # Cut at ten minutes: 44100 Hz stereo, 16 bits.
    sox "${tracks[@]}" -r 44100 -c 2 -b 16 "$tmp/music.wav" trim 0 600
    lame --quiet --noreplaygain -b 128 "$tmp/music.wav" "$dir/music-128.mp3"
    lame --quiet --noreplaygain -b 320 "$tmp/music.wav" "$dir/music-320.mp3"
    lame --quiet --noreplaygain -V 2 "$tmp/music.wav" "$dir/music-vbr.mp3"
    twolame --quiet -b 192 "$tmp/music.wav" "$dir/music-l2-192.mp2"
fi

if [ ! -f "$dir/music.opus" ]; then
    # Two minutes at 44100 Hz stereo. The 24-bit copy is made half a dB quieter, so that its low
    # bits carry sound rather than zeros that the encoder would drop.
    sox "${tracks[@]}" -r 44100 -c 2 -b 16 "$tmp/music-2min.wav" trim 0 120
    sox "${tracks[@]}" -r 44100 -c 2 -b 24 "$tmp/music-2min-24.wav" trim 0 120 gain -0.5
    flac --silent --force -o "$dir/music-16.flac" "$tmp/music-2min.wav"
    flac --silent --force -o "$dir/music-24.flac" "$tmp/music-2min-24.wav"
    oggenc --quiet -q 5 -o "$dir/music-q5.ogg" "$tmp/music-2min.wav"
    opusenc --quiet "$tmp/music-2min.wav" "$dir/music.opus"
fi

if [ ! -f "$dir/music-hybrid-c.wvc" ]; then
    # WavPack: lossless at its default mode and at -hh, hybrid at 4 bits a sample alone, and the
    # same with its correction file beside it.
    [ -f "$tmp/music-2min.wav" ] || sox "${tracks[@]}" -r 44100 -c 2 -b 16 "$tmp/music-2min.wav" trim 0 120
    wavpack -q -y "$tmp/music-2min.wav" -o "$dir/music.wv"
    wavpack -q -y -hh "$tmp/music-2min.wav" -o "$dir/music-hh.wv"
    wavpack -q -y -b4 "$tmp/music-2min.wav" -o "$dir/music-hybrid.wv"
    wavpack -q -y -b4 -c "$tmp/music-2min.wav" -o "$dir/music-hybrid-c.wv"
fi
echo "$dir"
