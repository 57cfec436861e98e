// The audio track of an MP4 file: what its sample entry says of the sound, where the decoder's
// configuration lies, its timescales and edit, and where its sample tables are. The tables
// themselves are read by Mp4SampleTable, a window at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "byte_source.h"
#include "file_problem.h"
#include "itunes_gap.h"
#include "mp4_boxes.h"

namespace zirvak {

// A table's entries: where the first lies, how many there are and how wide each is.
struct Mp4Table {
    uint64_t at = 0;
    uint32_t count = 0;
    uint32_t entryBits = 0;
};

// The first edit that plays the media: from `mediaTime` (in the media's timescale) for
// `duration` (in the movie's).
struct Mp4Edit {
    uint64_t mediaTime = 0;
    uint64_t duration = 0;
};

struct Mp4AudioTrack {
    uint32_t codec = 0;  // the sample entry's type: "mp4a", "alac"
    uint32_t channels = 0;
    uint32_t sampleBits = 0;
    uint32_t sampleRateHz = 0;
    uint8_t objectType = 0;  // of an "mp4a" entry's elementary stream (0x40: MPEG-4 audio)
    // The decoder's configuration: an AudioSpecificConfig, an ALAC cookie.
    uint64_t configAt = 0;
    uint32_t configSize = 0;

    uint32_t movieTimescale = 0;
    uint32_t mediaTimescale = 0;
    uint64_t mediaDuration = 0;
    std::optional<Mp4Edit> edit;
    // Samples before the one decoding starts at that the decoder must see first (a "roll"
    // sample group's distance), 0 when the file does not say.
    uint32_t preRoll = 0;

    Mp4Table timeToSample;   // stts: (count, delta)
    Mp4Table sampleToChunk;  // stsc: (first chunk, samples per chunk, description)
    Mp4Table chunkOffsets;   // stco or co64
    Mp4Table sampleSizes;    // stsz or stz2, empty when every sample is `fixedSampleSize`
    uint32_t sampleCount = 0;
    uint32_t fixedSampleSize = 0;

    std::optional<ITunesGap> iTunesGap;  // an "iTunSMPB" item of the movie's tags
};

// Finds the movie and its first audio track of a codec in `codecs` (box types), wherever the
// movie lies. kNone and the track, else the problem and its detail in plain words: no movie
// (a file cut short while written), no audio track, a codec not listed, tables that do not fit
// their boxes.
FileProblem ReadMp4AudioTrack(ByteSource& source, std::initializer_list<uint32_t> codecs,
                              Mp4AudioTrack* track, std::string* detail);

// True when the file starts as an MP4 file does: an "ftyp" box, or a "moov", "mdat", "free",
// "skip" or "wide" box, whose size fits the file.
bool LooksLikeMp4(ByteSource& source);

}  // namespace zirvak
