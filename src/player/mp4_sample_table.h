// Where each sample of an MP4 track lies and when it plays, read from the track's tables a
// window at a time: a table of any length costs the same memory, and an entry is read only
// when it is asked for. A table that says more than the file holds ends the samples there.
#pragma once

#include <cstdint>
#include <memory>

#include "byte_source.h"
#include "mp4_track.h"

namespace zirvak {

struct Mp4Sample {
    uint64_t offset = 0;
    uint32_t size = 0;
};

class Mp4SampleTable {
public:
    Mp4SampleTable(ByteSource& source, const Mp4AudioTrack& track);
    ~Mp4SampleTable();
    Mp4SampleTable(const Mp4SampleTable&) = delete;
    Mp4SampleTable& operator=(const Mp4SampleTable&) = delete;

    // False when the windows could not be had: then nothing else may be asked.
    bool allocated() const;
    uint32_t sampleCount() const { return track_.sampleCount; }

    // The next sample goes to be `index`; false past the last or where the tables break off.
    bool MoveTo(uint32_t index);
    // The next sample's place, moving on; false at the end or where the tables break off.
    bool Next(Mp4Sample* sample);

    // The media's length by its time table (the sum of every sample's duration).
    uint64_t Duration();

private:
    class Entries;

    bool StartChunk(uint32_t chunk, uint32_t sampleInChunk);
    uint64_t SampleSize(uint32_t index);

    ByteSource& source_;
    Mp4AudioTrack track_;
    std::unique_ptr<Entries> times_, chunks_, offsets_, sizes_;

    uint32_t next_ = 0;
    uint32_t chunk_ = 0;        // the chunk the next sample lies in
    uint32_t chunkEntry_ = 0;   // the sample-to-chunk entry that covers it
    uint32_t leftInChunk_ = 0;  // samples of that chunk from the next one on
    uint64_t offset_ = 0;       // the next sample's offset
    bool broken_ = false;
};

}  // namespace zirvak
