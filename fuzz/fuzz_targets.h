// The bodies of the fuzz targets. libFuzzer drives them in the fuzz build; the regression test
// runs every checked-in corpus and regression input through them in the ordinary test builds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zirvak::fuzz {

// Arbitrary bytes as an MPEG file through the frame walk, every frame parsed and decoded. The
// first two bytes choose the decoder options (rate shift, channel option, 8-bit output,
// frequency limit), so every synthesis and hybrid variant is reached.
void DecodeMpeg(const uint8_t* data, size_t size);

// Arbitrary bytes as a file opened by the engine (WAV or MPEG) on a hand-stepped device, run to
// its end with Stop, Restart and TogglePause interleaved as the first eight bytes say.
void PlayFile(const uint8_t* data, size_t size);

// Beat marking of arbitrary PCM; the first bytes choose the channel count, the rate and the
// time base.
void MarkBeatsOf(const uint8_t* data, size_t size);

// Arbitrary bytes as a song file whose tags are read (as an MPEG file, or as a WAV file when
// they start with "RIFF"); every field read must be clean, bounded text and any cover within
// its limit, and the cover must save.
void ReadTagsOf(const uint8_t* data, size_t size);

// Arbitrary bytes as a FLAC, Ogg Vorbis or Ogg Opus file, played by that source itself (no look
// at the content first, so whatever the bytes are reaches the library). The first two bytes
// choose where a second run seeks to; the rest is the file. A run from the start fills every
// buffer up to its last, then the run after the seek a few, then a run from the start again,
// whose first buffer must be the first run's; every buffer must be whole sample frames, no
// longer than a buffer, and the run exactly as long as it said unless a buffer came short.
// Runs of a file that claims hours stop after a few buffers, so each input stays quick.
void PlayFlac(const uint8_t* data, size_t size);
void PlayVorbis(const uint8_t* data, size_t size);
void PlayOpus(const uint8_t* data, size_t size);

}  // namespace zirvak::fuzz
