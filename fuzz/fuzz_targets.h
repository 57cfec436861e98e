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

}  // namespace zirvak::fuzz
