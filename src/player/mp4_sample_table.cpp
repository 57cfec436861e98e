#include "mp4_sample_table.h"

#include <algorithm>
#include <new>

namespace zirvak {

// The entries of one table, read through a window of a few kilobytes that moves to the entry
// asked for. Each entry is one or more fields of `fieldBits` (4 to 64).
class Mp4SampleTable::Entries {
public:
    static constexpr size_t kWindowBytes = 4096;

    Entries(ByteSource& source, const Mp4Table& table, uint32_t fieldBits)
        : source_(source),
          table_(table),
          fieldBits_(fieldBits),
          window_(new (std::nothrow) uint8_t[kWindowBytes]) {}

    bool allocated() const { return window_ != nullptr; }
    uint32_t count() const { return table_.count; }

    // Field `field` of entry `index`; false past the table, or where the file ends first.
    bool Value(uint32_t index, uint32_t field, uint64_t* value) {
        if (index >= table_.count) return false;
        const uint64_t bit = uint64_t(index) * table_.entryBits + uint64_t(field) * fieldBits_;
        const uint64_t first = bit / 8;
        const uint64_t bytes = (bit % 8 + fieldBits_ + 7) / 8;
        if (first < base_ || first + bytes > base_ + valid_) {
            base_ = first;
            valid_ = source_.ReadAt(table_.at + first, window_.get(), kWindowBytes);
            if (bytes > valid_) {
                valid_ = 0;
                return false;
            }
        }
        const uint8_t* at = window_.get() + (first - base_);
        uint64_t raw = 0;
        for (uint64_t i = 0; i < bytes; ++i) raw = raw << 8 | at[i];
        // A 4-bit field is the high or low half of its byte.
        const uint64_t spare = bytes * 8 - bit % 8 - fieldBits_;
        *value =
            (raw >> spare) & (fieldBits_ == 64 ? ~uint64_t(0) : (uint64_t(1) << fieldBits_) - 1);
        return true;
    }

private:
    ByteSource& source_;
    Mp4Table table_;
    uint32_t fieldBits_;
    std::unique_ptr<uint8_t[]> window_;
    uint64_t base_ = 0;  // the table byte window_[0] holds
    size_t valid_ = 0;
};

Mp4SampleTable::Mp4SampleTable(ByteSource& source, const Mp4AudioTrack& track)
    : source_(source),
      track_(track),
      times_(new (std::nothrow) Entries(source, track.timeToSample, 32)),
      chunks_(new (std::nothrow) Entries(source, track.sampleToChunk, 32)),
      offsets_(new (std::nothrow)
                   Entries(source, track.chunkOffsets, track.chunkOffsets.entryBits)),
      sizes_(new (std::nothrow) Entries(source, track.sampleSizes, track.sampleSizes.entryBits)) {
    if (allocated()) MoveTo(0);
}

Mp4SampleTable::~Mp4SampleTable() = default;

bool Mp4SampleTable::allocated() const {
    for (const auto* entries : {times_.get(), chunks_.get(), offsets_.get(), sizes_.get()})
        if (!entries || !entries->allocated()) return false;
    return true;
}

uint64_t Mp4SampleTable::SampleSize(uint32_t index) {
    if (track_.fixedSampleSize) return track_.fixedSampleSize;
    uint64_t size = 0;
    return sizes_->Value(index, 0, &size) ? size : ~uint64_t(0);
}

// The next sample goes to be the `sampleInChunk`th of chunk `chunk`, whose sample-to-chunk
// entry is chunkEntry_.
bool Mp4SampleTable::StartChunk(uint32_t chunk, uint32_t sampleInChunk) {
    uint64_t perChunk = 0, offset = 0;
    if (!chunks_->Value(chunkEntry_, 1, &perChunk) || !offsets_->Value(chunk, 0, &offset) ||
        perChunk == 0 || sampleInChunk >= perChunk)
        return false;
    chunk_ = chunk;
    leftInChunk_ = uint32_t(std::min<uint64_t>(perChunk - sampleInChunk, UINT32_MAX));
    offset_ = offset;
    for (uint32_t i = next_ - sampleInChunk; i < next_; ++i) {
        const uint64_t size = SampleSize(i);
        if (size == ~uint64_t(0)) return false;
        offset_ += size;
    }
    return true;
}

bool Mp4SampleTable::MoveTo(uint32_t index) {
    next_ = index;
    broken_ = true;
    if (index >= track_.sampleCount) return false;
    // The runs of chunks that the sample-to-chunk entries describe, until the one that holds it.
    uint64_t before = 0;  // samples in the runs before this entry
    for (uint32_t entry = 0; entry < chunks_->count(); ++entry) {
        uint64_t firstChunk = 0, perChunk = 0, nextFirst = 0;
        if (!chunks_->Value(entry, 0, &firstChunk) || !chunks_->Value(entry, 1, &perChunk) ||
            firstChunk == 0)
            return false;
        if (!chunks_->Value(entry + 1, 0, &nextFirst)) nextFirst = uint64_t(offsets_->count()) + 1;
        if (nextFirst <= firstChunk) continue;  // an entry its successor overrides
        const uint64_t inRun = (nextFirst - firstChunk) * perChunk;
        if (index < before + inRun) {
            const uint64_t within = index - before;
            chunkEntry_ = entry;
            const uint64_t chunk = firstChunk - 1 + within / perChunk;
            if (chunk >= offsets_->count()) return false;
            broken_ = !StartChunk(uint32_t(chunk), uint32_t(within % perChunk));
            return !broken_;
        }
        before += inRun;
    }
    return false;
}

bool Mp4SampleTable::Next(Mp4Sample* sample) {
    if (broken_ || next_ >= track_.sampleCount) return false;
    if (leftInChunk_ == 0) {
        // The next chunk, under the next sample-to-chunk entry once that entry's run starts.
        const uint32_t chunk = chunk_ + 1;
        uint64_t nextFirst = 0;
        if (chunks_->Value(chunkEntry_ + 1, 0, &nextFirst) && nextFirst == uint64_t(chunk) + 1)
            ++chunkEntry_;
        if (chunk >= offsets_->count() || !StartChunk(chunk, 0)) {
            broken_ = true;
            return false;
        }
    }
    const uint64_t size = SampleSize(next_);
    if (size > UINT32_MAX || offset_ + size > source_.size()) {
        broken_ = true;
        return false;
    }
    sample->offset = offset_;
    sample->size = uint32_t(size);
    offset_ += size;
    --leftInChunk_;
    ++next_;
    return true;
}

uint64_t Mp4SampleTable::Duration() {
    uint64_t samples = 0, elapsed = 0;
    for (uint32_t entry = 0; entry < times_->count() && samples < track_.sampleCount; ++entry) {
        uint64_t count = 0, delta = 0;
        if (!times_->Value(entry, 0, &count) || !times_->Value(entry, 1, &delta)) break;
        count = std::min<uint64_t>(count, track_.sampleCount - samples);
        samples += count;
        elapsed += count * delta;
    }
    return elapsed;
}

}  // namespace zirvak
