#!/usr/bin/env bash
# Makes the small MP3 files under tests/fixtures/mp3 that the decoder tests compare with a peer
# decoder, decode with every option and corrupt on purpose. Each holds well under a second of a
# short musical signal that differs between the channels (other tones, clicks at other times),
# so a swapped or duplicated channel shows. Needs Debian's sox and lame; the output is the same
# on every run with the same tool versions (no noise, no dither, fixed tag texts).
#
# Names say what a file is: version_rate_channels_rate-control[_extra].mp3.
set -euo pipefail
cd "$(dirname "$0")/.."
out=tests/fixtures/mp3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"
rm -f "$out"/*.mp3

sox_() { sox -R -D -q "$@"; }

# music RATE SECONDS FILE: two channels of tones with a percussive click in each.
music() {
    local rate=$1 len=$2 file=$3 t="$tmp/m$1"
    sox_ -n -r "$rate" -c 1 -b 16 "$t-lt.wav" synth "$len" sine 440 sine mix 660 sine mix 880 \
        tremolo 6 30 fade 0.02 "$len" 0.1 gain -14
    sox_ -n -r "$rate" -c 1 -b 16 "$t-rt.wav" synth "$len" sine 330 sine mix 495 square mix 165 \
        fade 0.05 "$len" 0.1 gain -18
    # The clicks: a few milliseconds of a falling sweep, at 0.25 s on the left, 0.5 s on the right.
    sox_ -n -r "$rate" -c 1 -b 16 "$t-lc.wav" synth 0.008 sine 3000-400 fade 0 0.008 0.007 \
        gain -4 pad 0.25 0
    sox_ -n -r "$rate" -c 1 -b 16 "$t-rc.wav" synth 0.008 sine 2400-300 fade 0 0.008 0.007 \
        gain -6 pad 0.5 0
    sox_ -m "$t-lt.wav" "$t-lc.wav" "$t-l.wav" trim 0 "$len"
    sox_ -m "$t-rt.wav" "$t-rc.wav" "$t-r.wav" trim 0 "$len"
    sox_ -M "$t-l.wav" "$t-r.wav" "$file"
}

# band_tones RATE SECONDS FILE: one tone in each of the lowest eight subbands, off their centres
# (four a channel), faded in and out, nothing above 4.9 kHz: the band that survives quarter-rate
# decoding at 44.1 kHz, for comparing reduced-rate output with full-rate output.
band_tones() {
    local rate=$1 len=$2 file=$3 t="$tmp/b$1" ch f
    for ch in l r; do
        local parts=()
        if [ $ch = l ]; then set -- 300 1600 3000 4400; else set -- 900 2300 3700 4900; fi
        for f in "$@"; do
            sox_ -n -r "$rate" -c 1 -b 16 "$t-$ch$f.wav" synth "$len" sine "$f" fade 0.1 "$len" 0.1
            parts+=("$t-$ch$f.wav")
        done
        sox_ -m "${parts[@]}" "$t-$ch.wav" gain -3
    done
    sox_ -M "$t-l.wav" "$t-r.wav" "$file"
}

# transient RATE SECONDS FILE: silence broken by hard-edged bursts, so the encoder switches to
# short blocks.
transient() {
    local rate=$1 len=$2 file=$3 t="$tmp/t$1"
    sox_ -n -r "$rate" -c 1 -b 16 "$t-l.wav" synth 0.12 square 1200 gain -6 pad 0.3 0 \
        repeat 1 trim 0 "$len"
    sox_ -n -r "$rate" -c 1 -b 16 "$t-r.wav" synth 0.05 square 700 gain -8 pad 0.4 0 \
        pad 0 0.5 trim 0 "$len"
    sox_ -M "$t-l.wav" "$t-r.wav" "$file"
}

# enc SOURCE NAME LAME-OPTIONS...: the sample rate is forced so lame never resamples.
enc() {
    local src=$1 name=$2
    shift 2
    local khz
    khz=$(soxi -r "$src" | awk '{ printf "%g", $1 / 1000 }')
    lame --silent --noreplaygain --resample "$khz" "$@" "$src" "$out/$name.mp3"
}

for rate in 44100 48000 32000 22050 24000 16000 11025 12000 8000; do
    music "$rate" 0.8 "$tmp/music$rate.wav"
    sox_ "$tmp/music$rate.wav" "$tmp/mono$rate.wav" remix 1-2
done
band_tones 44100 0.8 "$tmp/tones44100.wav"
transient 44100 0.8 "$tmp/transient44100.wav"

# Constant-rate files keep the "Info" header that lame writes in their first frame, except those
# made with -t, so both kinds are covered; -V files carry a "Xing" header.
# MPEG-1
enc "$tmp/music44100.wav" mpeg1_44100_stereo_cbr128 -m s -b 128 -t
enc "$tmp/music48000.wav" mpeg1_48000_joint_cbr160 -m j -b 160
enc "$tmp/mono32000.wav" mpeg1_32000_mono_cbr64 -m m -b 64 -t
enc "$tmp/music44100.wav" mpeg1_44100_joint_vbr -m j -V 4
enc "$tmp/mono48000.wav" mpeg1_48000_mono_vbr -m m -V 6
enc "$tmp/tones44100.wav" mpeg1_44100_stereo_cbr160_tones -m s -b 160 -t
enc "$tmp/transient44100.wav" mpeg1_44100_joint_cbr128_transient -m j -b 128
# MPEG-2
enc "$tmp/music22050.wav" mpeg2_22050_stereo_cbr64 -m s -b 64
enc "$tmp/music24000.wav" mpeg2_24000_joint_vbr -m j -V 5
enc "$tmp/mono16000.wav" mpeg2_16000_mono_cbr32 -m m -b 32 -t
# MPEG-2.5
enc "$tmp/music11025.wav" mpeg25_11025_joint_cbr32 -m j -b 32 -t
enc "$tmp/music12000.wav" mpeg25_12000_stereo_vbr -m s -V 7
enc "$tmp/mono8000.wav" mpeg25_8000_mono_cbr16 -m m -b 16
# Tags: an ID3v2 tag before the audio, an ID3v1 block after it.
enc "$tmp/music44100.wav" mpeg1_44100_joint_cbr96_id3v2 -m j -b 96 --id3v2-only \
    --tt "Fixture with an ID3v2 tag" --ta Zirvak --tl "Test fixtures" --ty 2026 --tn 1
enc "$tmp/music22050.wav" mpeg2_22050_joint_cbr48_id3v1 -m j -b 48 --id3v1-only \
    --tt "Fixture with an ID3v1 tag" --ta Zirvak --tl "Test fixtures" --ty 2026 --tn 2

ls -l "$out"
du -cb "$out"/*.mp3 | tail -1
