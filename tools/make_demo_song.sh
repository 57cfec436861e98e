#!/usr/bin/env bash
# Makes res/demo.mp3: Zirvak's demo song, 32 seconds at 120 beats a minute in A minor, so the
# butterfly and the lights have a clear beat to follow. Kick on every beat, a clap on 2 and 4,
# off-beat hi-hats, a plucked bass line, a soft chord pad over Am - F - C - G and a plucked
# melody from bar 5 on, with a little reverb. Encoded with lame as MPEG-1 Layer III, 44.1 kHz
# joint stereo, 128 kbit/s CBR, ID3v2 title and artist, no Xing/Info frame (a plain CBR stream).
#
# Needs Debian's sox and lame. Everything is synthesised; sox runs in repeatable mode (-R) with
# no dither (-D), so the output is the same on every run with the same tool versions.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

RATE=44100
BEAT=0.5       # seconds per beat at 120 BPM
EIGHTH=0.25
BAR=2          # seconds per bar of 4/4
BARS=16

sx() { sox -R -D -q "$@"; }
# tone OUT EFFECTS...: a mono 16-bit file made from nothing (synth, trim) by sox effects.
tone() { sx -n -r "$RATE" -c 1 -b 16 "$@"; }

# --- Drums: one bar, repeated -----------------------------------------------------------------
# Kick: a sine falling quickly from 150 Hz to 42 Hz, plus a tiny click for attack.
tone "$tmp/kick_body.wav" synth 0.3 sine 150:42 fade l 0.002 0.3 0.28
tone "$tmp/kick_click.wav" synth 0.006 whitenoise gain -10 highpass 2500 fade 0 0.006 0.005 pad 0 0.294
sx -m "$tmp/kick_body.wav" "$tmp/kick_click.wav" "$tmp/kick.wav" gain -1
# Clap: band-passed noise with a short body tone.
tone "$tmp/clap_noise.wav" synth 0.22 whitenoise gain -6 highpass 900 lowpass 7000 fade l 0 0.22 0.21
tone "$tmp/clap_body.wav" synth 0.1 sine 210:160 fade l 0 0.1 0.09 gain -9 pad 0 0.12
sx -m "$tmp/clap_noise.wav" "$tmp/clap_body.wav" "$tmp/clap.wav"
# Hi-hat: a very short burst of high noise.
tone "$tmp/hat.wav" synth 0.06 whitenoise gain -17 highpass 7000 fade l 0 0.06 0.055

# at FILE SECONDS OUT: FILE delayed by SECONDS and padded to one bar.
at() {
    local len
    len=$(soxi -D "$1")
    sx "$1" "$3" pad "$2" "$(awk -v b=$BAR -v s="$2" -v l="$len" 'BEGIN { printf "%.4f", b - s - l }')"
}
parts=()
for b in 0 1 2 3; do
    at "$tmp/kick.wav" "$(awk -v b=$b -v t=$BEAT 'BEGIN { print b * t }')" "$tmp/k$b.wav"
    at "$tmp/hat.wav" "$(awk -v b=$b -v t=$BEAT -v e=$EIGHTH 'BEGIN { print b * t + e }')" "$tmp/h$b.wav"
    parts+=("$tmp/k$b.wav" "$tmp/h$b.wav")
done
at "$tmp/clap.wav" 0.5 "$tmp/c1.wav"
at "$tmp/clap.wav" 1.5 "$tmp/c3.wav"
parts+=("$tmp/c1.wav" "$tmp/c3.wav")
sx -m "${parts[@]}" "$tmp/drum_bar.wav" norm -1
sx "$tmp/drum_bar.wav" "$tmp/drums.wav" repeat $((BARS - 1)) channels 2

# --- Harmony ------------------------------------------------------------------------------------
# Chords as semitones from A4 (440 Hz): Am, F, C, G; bass roots two octaves lower.
chords=("-12 -9 -5" "-16 -12 -9" "-9 -5 -2" "-14 -10 -7")
roots=(-24 -28 -33 -26)

# Bass: eighth notes on the root, with octave and fifth leaps.
bass_pattern=(0 0 12 0 0 7 12 7)
bass_files=()
for bar in $(seq 0 $((BARS - 1))); do
    root=${roots[$((bar % 4))]}
    for i in "${!bass_pattern[@]}"; do
        n=$((root + bass_pattern[i]))
        f="$tmp/bass_${bar}_$i.wav"
        tone "$f" synth $EIGHTH sawtooth "%$n" sine mix "%$n" lowpass 420 fade l 0.004 $EIGHTH 0.2 gain -3
        bass_files+=("$f")
    done
done
sx "${bass_files[@]}" "$tmp/bass.wav" channels 2

# Pad: a soft detuned chord per bar, swelling in and out.
pad_files=()
for bar in $(seq 0 $((BARS - 1))); do
    read -r a b c <<<"${chords[$((bar % 4))]}"
    f="$tmp/pad_$bar.wav"
    tone "$f" synth $BAR triangle "%$a" triangle mix "%$b" triangle mix "%$c" \
        sawtooth mix "%$((a - 12))" lowpass 1100 tremolo 4 15 fade q 0.25 $BAR 0.3 gain -14
    pad_files+=("$f")
done
sx "${pad_files[@]}" "$tmp/pad.wav" channels 2 reverb 60 50 90 100 25 0

# --- Melody from bar 5: two four-bar phrases, the first one again at the end -------------------
# Semitones from A4, eighth notes; r is a rest.
phrase_a="7 r 3 r 0 3 7 5  3 r 0 r 3 5 3 0  7 r 10 r 7 5 3 5  5 r 2 r -2 2 5 r"
phrase_b="12 r 10 7 r 5 7 r  3 r 5 r 7 r 5 3  7 10 7 5 3 r 5 7  5 r r 2 r r 0 r"
notes="$(printf 'r %.0s' $(seq 32)) $phrase_a $phrase_b $phrase_a"
mel_files=()
i=0
for n in $notes; do
    f="$tmp/mel_$i.wav"
    if [ "$n" = r ]; then
        tone "$f" trim 0 $EIGHTH
    else
        tone "$f" synth $EIGHTH pluck "%$n" pluck mix "%$((n + 12))" fade 0.003 $EIGHTH 0.04 gain -6
    fi
    mel_files+=("$f")
    i=$((i + 1))
done
sx "${mel_files[@]}" "$tmp/melody.wav" lowpass 3200 channels 2 remix 1v0.9 2v0.7 reverb 40 50 70 100 15 0

# --- Mix, master and encode ---------------------------------------------------------------------
sx -m -v 0.5 "$tmp/drums.wav" -v 0.4 "$tmp/bass.wav" -v 0.35 "$tmp/pad.wav" -v 0.34 "$tmp/melody.wav" \
    -b 16 "$tmp/mix.wav" trim 0 $((BARS * 2)) fade 0.02 $((BARS * 2)) 2 norm -1
lame --quiet -t -b 128 -m j -q 2 --resample 44.1 --id3v2-only --tt "Zirvak demo" --ta "Zirvak" \
    "$tmp/mix.wav" res/demo.mp3
ls -l res/demo.mp3
