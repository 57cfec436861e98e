// Songs of a chosen shape (channels, rate, depth, length) made here as PCM and encoded by
// Debian's encoders: FLAC by `flac`, from raw samples of any depth, written to a file or to a
// pipe; Ogg Vorbis and Opus by `oggenc` and `opusenc`. With the Ogg pages' layout, to damage or
// seek by.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "player_fixtures.h"

namespace zirvak::test {

struct FlacShape {
    int32_t channels = 2;
    uint32_t rate = 44100;
    uint32_t bits = 16;
    uint32_t frames = 44100;
};

// Interleaved samples of `shape`: a different tone per channel with some noise, near full scale
// so that a mix of them clips.
std::vector<int32_t> FlacSignal(const FlacShape& shape);

// Encodes `samples` of `shape` with `flac` (and `args`) to `dir`/`name`.flac.
std::string EncodeRawFlac(const TempDir& dir, const std::string& name, const FlacShape& shape,
                          const std::vector<int32_t>& samples, const std::string& args = "");
// The same written to a pipe: the encoder cannot go back to put the sample count and seek
// table in, so the file has neither.
std::string EncodePipedFlac(const TempDir& dir, const std::string& name, const FlacShape& shape,
                            const std::vector<int32_t>& samples, const std::string& args = "");

// Raw little-endian signed samples of `bits` bits as values.
std::vector<int32_t> SamplesFromRaw(const Bytes& raw, uint32_t bits);
// Decoded samples of `shape` (at its depth) made into what the engine should play, before
// dither: scaled to 16 bits and rounded, six channels (L R C LFE BL BR) mixed to two.
std::vector<int16_t> AsPlayed(const std::vector<int32_t>& reference, const FlacShape& shape);

// Encodes `samples` of `shape` with `wavpack` (and `args`: "-b3" hybrid, "-b3 -c" with its
// correction file) to `dir`/`name`.wv; `piped`, from its standard input to its standard output,
// so the file holds no sample count.
std::string EncodeWavPack(const TempDir& dir, const std::string& name, const FlacShape& shape,
                          const std::vector<int32_t>& samples, const std::string& args = "",
                          bool piped = false);

// Encodes 16-bit `samples` of `shape` as AAC-LC in MP4 with ffmpeg (noise substitution off, so
// its decoder and ours start from the same bitstream deterministically), and `args`:
// "-movie_timescale 44100" for an exact edit list, "-use_editlist 0" for none.
std::string EncodeAac(const TempDir& dir, const std::string& name, const FlacShape& shape,
                      const std::vector<int32_t>& samples, const std::string& args = "");

enum class Codec { kVorbis, kOpus };

struct OggShape {
    Codec codec = Codec::kVorbis;
    int32_t channels = 2;
    uint32_t rate = 44100;  // of the PCM encoded; Opus always decodes at 48 kHz
    uint32_t frames = 44100;
};

const char* Name(Codec codec);
uint32_t DecodedRate(const OggShape& shape);

// Interleaved 16-bit samples: a tone per channel with some noise.
Bytes OggSignal(const OggShape& shape);

// Encodes `pcm` of `shape` to `dir`/`name` (.ogg or .opus) with the codec's encoder.
std::string EncodeOgg(const TempDir& dir, const std::string& name, const OggShape& shape,
                      const Bytes& pcm, const std::string& opusArgs = "");

// The granule position of the `n`-th page of an Ogg file (pages counted from 0).
uint64_t PageGranule(const Bytes& ogg, int n);
// The byte range of the `n`-th page.
std::pair<size_t, size_t> PageBytes(const Bytes& ogg, int n);

}  // namespace zirvak::test
