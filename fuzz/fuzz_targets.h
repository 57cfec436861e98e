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

// Arbitrary bytes as a file opened by the engine (of any format) on a hand-stepped device, run to
// its end with Stop, Restart and TogglePause interleaved as the first eight bytes say.
void PlayFile(const uint8_t* data, size_t size);

// Beat marking of arbitrary PCM; the first bytes choose the channel count, the rate and the
// time base.
void MarkBeatsOf(const uint8_t* data, size_t size);

// Arbitrary bytes as a song file whose tags are read where its format (by the table's content
// tests) keeps them; every field read must be clean, bounded text and any cover within its
// limit, and the cover must save.
void ReadTagsOf(const uint8_t* data, size_t size);

// Arbitrary bytes as a file of the format the table's content tests find for them (a file none
// recognises is MPEG audio's), played by that format's source itself. The first two bytes
// choose where a second run seeks to (their lowest bit: an MPEG stream played gapless); the
// rest is the file. A run from the start fills every buffer up to its last, then the run after
// the seek a few, then a run from the start again, whose first buffer must be the first run's.
// Every buffer must be whole sample frames, those between the first and the last of one length;
// a run that came whole is as long as the source says (within a millisecond, and an MPEG
// stream's VBR header frame) and the run after the seek is what is left of it. Runs of a file that
// claims hours stop after a few buffers, so each input stays quick.
void PlaySourceOf(const uint8_t* data, size_t size);

}  // namespace zirvak::fuzz
