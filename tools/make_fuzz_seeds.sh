#!/usr/bin/env bash
# Makes the seed inputs of the sources fuzz target in OUT/sources (default fuzz/corpus), each
# named by its sha1 as the other corpora are: files of the formats decoded by libraries, which
# the target finds by their content as the player does. A seed is the two bytes that choose the
# target's seek (fuzz_targets.h), then a small file made by Debian's encoders (flac, oggenc,
# opusenc, wavpack) from tones made by sox: mono, stereo and six channels; 8-, 16-, 24- and 32-bit FLAC
# and one whose length the encoder did not know; several rates; one with an ID3v2 tag before
# it; one cut short; chained Ogg streams of the same and of another shape; and one of each kind
# longer than an output buffer (65536 sample frames), so that Fill has something to decode. Seeks land at the start, inside the sound and past its end.
#
#   tools/make_fuzz_seeds.sh [OUT]
set -euo pipefail
out=${1:-fuzz/corpus}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out/sources"

# tone NAME RATE CHANNELS BITS SECONDS: a quiet tone, another pitch on each channel, no dither.
tone() {
    local sines=()
    for c in $(seq "$3"); do sines+=(sine $((200 + 110 * c))); done
    sox -D -n -r "$2" -c "$3" -b "$4" "$tmp/$1.wav" synth "$5" "${sines[@]}" vol 0.1
}

# bursts NAME RATE SILENCE: mono, a tone of 0.3 s, SILENCE seconds of silence, the tone again.
bursts() {
    sox -D -n -r "$2" -c 1 -b 16 "$tmp/burst.wav" synth 0.3 sine 300 vol 0.2
    sox -D "$tmp/burst.wav" "$tmp/burst-pad.wav" pad 0 "$3"
    sox -D "$tmp/burst-pad.wav" "$tmp/burst.wav" "$tmp/$1.wav"
}

# An ID3v2.3 tag holding a title, as taggers put before a file.
id3v2() {
    printf 'ID3\x03\x00\x00\x00\x00\x00\x20TIT2\x00\x00\x00\x05\x00\x00\x00Seed'
    head -c 17 /dev/zero
}

# seed SEEK FILE...: SEEK (two bytes as printf escapes) then the files, as OUT/sources/<sha1>.
seed() {
    local seek=$1
    shift
    {
        printf '%b' "$seek"
        cat "$@"
    } >"$tmp/seed"
    mv "$tmp/seed" "$out/sources/$(sha1sum "$tmp/seed" | cut -c1-40)"
}

# FILE without its last BYTES (cut inside the sound, past the headers), as OUT.
cut_short() {
    head -c -"$2" "$1" >"$3"
}

# FLAC.
flac_of() { flac -s -f --no-padding "${@:3}" -o "$tmp/$2" "$tmp/$1.wav" 2>/dev/null; }
tone s16 44100 2 16 0.3 && flac_of s16 s16.flac
tone m8 8000 1 8 0.4 && flac_of m8 m8.flac
tone s24 48000 2 24 0.1 && flac_of s24 s24.flac
tone m32 32000 1 32 0.05 && flac_of m32 m32.flac
tone c6 48000 6 16 0.05 && flac_of c6 c6.flac
tone m22 22050 1 16 0.2 && flac_of m22 m22.flac
bursts long 8000 8.1 && flac_of long long.flac -8
# Written to a pipe from raw samples: STREAMINFO has no sample count.
sox -D -n -r 16000 -c 1 -b 16 -t raw - synth 0.2 sine 300 vol 0.1 |
    flac -s --force-raw-format --endian=little --sign=signed --channels=1 --bps=16 \
        --sample-rate=16000 --no-padding -c - >"$tmp/nolength.flac" 2>/dev/null
cut_short "$tmp/s16.flac" 2000 "$tmp/short.flac"
id3v2 >"$tmp/tag"
seed '\x40\x00' "$tmp/s16.flac"
seed '\x80\x00' "$tmp/m8.flac"
seed '\xc0\x00' "$tmp/s24.flac"
seed '\x00\x00' "$tmp/m32.flac"
seed '\x20\x00' "$tmp/c6.flac"
seed '\x78\x00' "$tmp/tag" "$tmp/m22.flac"
seed '\xe8\x00' "$tmp/long.flac"
seed '\x60\x00' "$tmp/nolength.flac"
seed '\x60\x00' "$tmp/short.flac"
seed '\xff\xff' "$tmp/m22.flac"

# Ogg Vorbis, each stream with its own serial number (the encoders pick one at random).
vorbis_of() { oggenc -Q -q "$3" --serial "$4" -o "$tmp/$2" "$tmp/$1.wav"; }
vorbis_of s16 s16.ogg 0 1
tone m11 11025 1 16 0.3 && vorbis_of m11 m11.ogg -1 2
vorbis_of c6 c6.ogg 0 3
vorbis_of m22 m22.ogg -1 4
vorbis_of m22 m22-again.ogg -1 5
vorbis_of long long.ogg -1 6
cut_short "$tmp/long.ogg" 150 "$tmp/short.ogg"
seed '\x40\x00' "$tmp/s16.ogg"
seed '\x80\x00' "$tmp/m11.ogg"
seed '\x20\x00' "$tmp/c6.ogg"
seed '\x78\x00' "$tmp/tag" "$tmp/m22.ogg"
seed '\xe8\x00' "$tmp/long.ogg"
seed '\x60\x00' "$tmp/short.ogg"
seed '\xa0\x00' "$tmp/m22.ogg" "$tmp/m22-again.ogg"
seed '\xa0\x00' "$tmp/m11.ogg" "$tmp/s16.ogg"
seed '\xf8\x00' "$tmp/m11.ogg"

# Ogg Opus (decoded at 48 kHz whatever the input's rate: 65536 frames are 1.37 s).
opus_of() { opusenc --quiet --bitrate "$3" --serial "$4" "$tmp/$1.wav" "$tmp/$2"; }
opus_of s16 s16.opus 24 11
tone m48 48000 1 16 0.3 && opus_of m48 m48.opus 12 12
opus_of m48 m48-again.opus 12 13
opus_of c6 c6.opus 48 14
opus_of m22 m22.opus 8 15
bursts long48 48000 1.4 && opus_of long48 long.opus 8 16
cut_short "$tmp/long.opus" 400 "$tmp/short.opus"
seed '\x40\x00' "$tmp/s16.opus"
seed '\x80\x00' "$tmp/m48.opus"
seed '\x20\x00' "$tmp/c6.opus"
seed '\x78\x00' "$tmp/tag" "$tmp/m22.opus"
seed '\xe8\x00' "$tmp/long.opus"
seed '\x60\x00' "$tmp/short.opus"
seed '\xa0\x00' "$tmp/m48.opus" "$tmp/m48-again.opus"
seed '\xa0\x00' "$tmp/m48.opus" "$tmp/s16.opus"
seed '\xff\xff' "$tmp/m48.opus"

# WavPack: lossless, hybrid alone and with its correction file (the seed is one file, so the
# correction file is never found beside it), floats, and one cut short.
wavpack_of() { wavpack -q -y "${@:3}" "$tmp/$1.wav" -o "$tmp/$2"; }
wavpack_of s16 s16.wv --blocksize=2048
wavpack_of m8 m8.wv
wavpack_of c6 c6.wv -h
wavpack_of s24 hybrid.wv -b3 -c
sox -D -n -r 44100 -c 2 -e floating-point -b 32 "$tmp/float.wav" synth 0.1 sine 300 sine 500 vol 0.5
wavpack_of float float.wv
wavpack_of long long.wv
cut_short "$tmp/long.wv" 3000 "$tmp/short.wv"
seed '\x40\x00' "$tmp/s16.wv"
seed '\x80\x00' "$tmp/m8.wv"
seed '\x20\x00' "$tmp/c6.wv"
seed '\xc0\x00' "$tmp/hybrid.wv"
seed '\x60\x00' "$tmp/float.wv"
seed '\x78\x00' "$tmp/tag" "$tmp/s16.wv"
seed '\xe8\x00' "$tmp/long.wv"
seed '\x60\x00' "$tmp/short.wv"

# AAC in MP4: with an edit list, its movie before its samples, without an edit list, mono, and
# one cut short.
aac_of() { ffmpeg -v error -y -i "$tmp/$1.wav" -c:a aac -aac_pns 0 -b:a 64k "${@:3}" "$tmp/$2"; }
aac_of s16 el.m4a -movie_timescale 44100
aac_of s16 front.m4a -movie_timescale 44100 -movflags +faststart
aac_of s16 bare.m4a -use_editlist 0
aac_of m8 mono.m4a
cut_short "$tmp/front.m4a" 3000 "$tmp/cut.m4a"
seed '\x40\x00' "$tmp/el.m4a"
seed '\x80\x01' "$tmp/front.m4a"
seed '\x20\x00' "$tmp/bare.m4a"
seed '\xc0\x00' "$tmp/mono.m4a"
seed '\x60\x00' "$tmp/cut.m4a"

du -sh "$out/sources"
