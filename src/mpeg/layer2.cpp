// Layer II (ISO/IEC 11172-3 2.4.3.3; the lower sampling frequencies of ISO/IEC 13818-3 use its
// Table B.1) on the skeleton of layer12.h: allocation tables that give each entry a
// quantisation class, scale-factor selection, and one group of three samples per entry and
// pass.
#include "field_reader.h"
#include "layer12.h"

namespace mpeg {

namespace {

constexpr int32_t kFieldBits[4] = {4, 4, 3, 2};

// Allocation code -> quantisation class (classes 1..17 have 3, 5, 7, 9, 15, 31, ... 65535
// levels), per group of subbands of the allocation tables.
constexpr uint8_t kClassesHigh0[16] = {0, 1, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
constexpr uint8_t kClassesHigh1[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 17};
constexpr uint8_t kClassesHigh2[16] = {0, 1, 2, 3, 4, 5, 6, 17};
constexpr uint8_t kClassesHigh3[16] = {0, 1, 2, 17};
constexpr uint8_t kClassesLow0[16] = {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
constexpr uint8_t kClassesLow2[16] = {0, 1, 2, 4, 5, 6, 7, 8};
constexpr uint8_t kClassesLsf0[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr uint8_t kClassesLsf3[16] = {0, 1, 2, 4};

struct AllocationTable {
    int32_t groupCount[4];  // subbands with 4-, 4-, 3- and 2-bit allocation fields
    const uint8_t* classMap[4];
};

// ISO/IEC 11172-3 Tables B.2a to B.2d, then ISO/IEC 13818-3 Table B.1.
const AllocationTable kAllocationTables[5] = {
    {{3, 8, 12, 4}, {kClassesHigh0, kClassesHigh1, kClassesHigh2, kClassesHigh3}},
    {{3, 8, 12, 7}, {kClassesHigh0, kClassesHigh1, kClassesHigh2, kClassesHigh3}},
    {{2, 0, 6, 0}, {kClassesLow0, kClassesLow0, kClassesLow2, kClassesLow2}},
    {{2, 0, 10, 0}, {kClassesLow0, kClassesLow0, kClassesLow2, kClassesLow2}},
    {{4, 0, 7, 19}, {kClassesLsf0, kClassesLsf0, kClassesLow2, kClassesLsf3}},
};

// MPEG-1 table choice by [rate index][bit-rate index]; -1 where the combination is not allowed.
constexpr int8_t kTableForStereo[3][16] = {
    {1, -1, -1, -1, 2, -1, 2, 0, 0, 0, 1, 1, 1, 1, 1, -1},  // 44100 Hz
    {0, -1, -1, -1, 2, -1, 2, 0, 0, 0, 0, 0, 0, 0, 0, -1},  // 48000 Hz
    {1, -1, -1, -1, 3, -1, 3, 0, 0, 0, 1, 1, 1, 1, 1, -1},  // 32000 Hz
};
constexpr int8_t kTableForMono[3][16] = {
    {1, 2, 2, 0, 0, 0, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1},
    {0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, -1},
    {1, 3, 3, 0, 0, 0, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1},
};

// MPEG-2 and MPEG-2.5 take the lower sampling frequencies' table at every bit rate.
constexpr int8_t kTableForLsf[16] = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4};

// The tables of a stream by bit-rate index: its version, channels and rate fix the row.
const int8_t* TablesByBitrate(const FrameHeader& h) {
    if (h.version != 1) return kTableForLsf;
    const auto& rows = ChannelsOf(h) == 1 ? kTableForMono : kTableForStereo;
    return rows[h.sampleRateIndex];
}

// Takes allocation table `table`: its groups, classes and entry counts.
void TakeTable(LayerIIState& s, int32_t table) {
    const AllocationTable& t = kAllocationTables[table];
    int32_t subbands = 0;
    for (int32_t i = 0; i < 4; ++i) {
        s.groupCount[i] = t.groupCount[i] * s.channels;
        s.classMap[i] = t.classMap[i];
        subbands += t.groupCount[i];
    }
    s.table = table;
    SetCodedSubbands(s, subbands);
}

// Fills one entry's slots of all twelve passes, four in each third of the frame: `values`
// turns the 64 bits from a group's start into its three sample values.
template <bool Shared, class Values>
void FillEntry(const LayerIIState& s, const EntryRead& read, const uint8_t* samples, int32_t bit,
               float* buffer, Values values) {
    float* at = buffer + read.entry;
    for (int32_t third = 0; third < 3; ++third) {
        const float left = s.scale[read.entry][third];
        const float right = s.scale[read.entry + 1][third];
        for (int32_t pass = 0; pass < 4; ++pass, bit += s.passBits, at += 3 * 64) {
            int32_t v[3];
            values(BitsAt(samples, bit), v);
            for (int32_t n = 0; n < 3; ++n) at[64 * n] = float(v[n]) * left;
            if constexpr (Shared)
                for (int32_t n = 0; n < 3; ++n) at[64 * n + 1] = float(v[n]) * right;
        }
    }
}

template <class Values>
void FillEntry(const LayerIIState& s, const EntryRead& read, const uint8_t* samples, int32_t bit,
               float* buffer, Values values) {
    if (read.shared)
        FillEntry<true>(s, read, samples, bit, buffer, values);
    else
        FillEntry<false>(s, read, samples, bit, buffer, values);
}

struct Layer2 {
    static constexpr int32_t kSlots = 3 * kLayer12Passes;
    // Bits of one group of three samples by quantisation class.
    static constexpr uint8_t kPassBits[18] = {0,  5,  7,  9,  10, 12, 15, 18, 21,
                                              24, 27, 30, 33, 36, 39, 42, 45, 48};

    // A stream may change its bit rate from frame to frame, and the allocation table with
    // it: the entries of the old table are silenced. A frame whose bit rate has no table in
    // the stream keeps the one in use.
    static bool Prepare(Decoder& d, const FrameHeader& header) {
        if (!d.layer2Ready) return false;
        LayerIIState& s = d.layer12;
        const int32_t table = s.tableByBitrate[header.bitrateIndex];
        if (table >= 0 && table != s.table) {
            TakeTable(s, table);
            SilenceSlots(d, kSlots);
        }
        return true;
    }
    static const float* StepFactors(const Decoder& d) { return d.constants->layer2StepFactor; }

    static void ReadAllocations(Decoder& d, BitReader& r, AllocationList& list) {
        const LayerIIState& s = d.layer12;
        int32_t e = 0;
        for (int32_t group = 0, groupEnd = 0; group < 4; ++group) {
            groupEnd += s.groupCount[group];
            const uint8_t* classes = s.classMap[group];
            while (e < groupEnd) {
                bitsEnsure(r, 4);
                e += list.Set(e, classes[bitsTake(r, kFieldBits[group])]);
            }
        }
    }

    // Scale-factor selection, then the scale factors: three, two or one per allocated entry.
    // Both are read at their places from the reader's position on, without a branch on the
    // values, and the reader is moved past them.
    static void ReadScaleFactors(Decoder& d, BitReader& r, const uint8_t* bytes) {
        // By selection: the scale factors sent, and which of them each third of the frame takes.
        constexpr int32_t kSent[4] = {3, 2, 1, 2};
        constexpr uint8_t kTaken[4][3] = {{0, 1, 2}, {0, 0, 1}, {0, 0, 0}, {0, 1, 1}};
        const float* scaleFactors = d.constants->scaleFactorTable;
        LayerIIState& s = d.layer12;
        const int32_t start = bitsPosition(r);
        int32_t bit = start;
        uint8_t allocated[64];
        uint8_t selection[64];
        int32_t count = 0;
        for (int32_t e = 0; e < s.entryCount; ++e) {
            allocated[count] = uint8_t(e);
            selection[count] = uint8_t(BitsAt(bytes, bit) >> 62);
            const int32_t sent = s.allocation[e] != 0 ? 1 : 0;
            count += sent;
            bit += 2 * sent;
        }
        for (int32_t i = 0; i < count; ++i) {
            const int32_t e = allocated[i];
            const uint64_t word = BitsAt(bytes, bit);
            const int32_t fields[3] = {int32_t(word >> 58), int32_t(word >> 52) & 63,
                                       int32_t(word >> 46) & 63};
            const uint8_t* taken = kTaken[selection[i]];
            for (int32_t third = 0; third < 3; ++third)
                s.scale[e][third] = s.stepFactor[e] * scaleFactors[fields[taken[third]]];
            bit += 6 * kSent[selection[i]];
        }
        bitsSkip(r, bit - start);
    }

    // A group of 3, 5 or 9 levels is one code word of three digits; a group of any other
    // class is three fields of 3 to 16 bits, which the 57 bits BitsAt gives always hold.
    static void DecodeSamples(Decoder& d, const uint8_t* samples, int32_t first) {
        const DecoderConstants& c = *d.constants;
        const LayerIIState& s = d.layer12;
        float* buffer = &d.spectrum[0][0][0];
        for (int32_t i = 0; i < s.readCount; ++i) {
            const EntryRead& read = s.reads[i];
            const int32_t bit = first + read.bit;
            const int32_t q = read.allocation;
            if (q == 1 || q == 2) {
                const int32_t bits = q == 1 ? 5 : 7;
                const int8_t* digits = q == 1 ? &c.grouping3[0][0] : &c.grouping5[0][0];
                FillEntry(s, read, samples, bit, buffer, [=](uint64_t word, int32_t* v) {
                    const int8_t* g = digits + 3 * (word >> (64 - bits));
                    v[0] = g[0], v[1] = g[1], v[2] = g[2];
                });
            } else if (q == 4) {
                FillEntry(s, read, samples, bit, buffer, [&c](uint64_t word, int32_t* v) {
                    const int16_t* g = c.grouping9[word >> 54];
                    v[0] = g[0], v[1] = g[1], v[2] = g[2];
                });
            } else {
                const int32_t b = q == 3 ? 3 : q - 1;
                const int32_t offset = (1 << (b - 1)) - 1;
                const uint64_t mask = (uint64_t{1} << b) - 1;
                FillEntry(s, read, samples, bit, buffer, [=](uint64_t word, int32_t* v) {
                    v[0] = int32_t(word >> (64 - b)) - offset;
                    v[1] = int32_t((word >> (64 - 2 * b)) & mask) - offset;
                    v[2] = int32_t((word >> (64 - 3 * b)) & mask) - offset;
                });
            }
        }
    }
};

}  // namespace

int32_t Layer2StreamSetup(Decoder& d, const StreamInfo& info) {
    const int8_t* tables = TablesByBitrate(info);
    if (tables[info.bitrateIndex] < 0) return 0;
    SetUpLayer12Stream(d, info, Layer2::kSlots);
    d.layer12.tableByBitrate = tables;
    TakeTable(d.layer12, tables[info.bitrateIndex]);
    d.layer2Ready = true;
    return 1;
}

FrameFields ReadLayer2Fields(FieldReader& r, const FrameHeader& h) {
    const int32_t table = TablesByBitrate(h)[h.bitrateIndex];
    if (table < 0) return FrameFields::kImplausible;
    const AllocationTable& t = kAllocationTables[table];
    const int32_t channels = ChannelsOf(h);
    const int32_t subbands = t.groupCount[0] + t.groupCount[1] + t.groupCount[2] + t.groupCount[3];
    const int32_t bound = h.mode == kModeJointStereo ? 4 * (h.modeExtension + 1) : 32;
    uint8_t allocated[32][2] = {};
    for (int32_t sb = 0, group = 0, inGroup = 0; sb < subbands; ++sb, ++inGroup) {
        while (inGroup >= t.groupCount[group]) ++group, inGroup = 0;
        for (int32_t ch = 0; ch < channels; ++ch)
            allocated[sb][ch] =
                sb >= bound && ch == 1 ? allocated[sb][0] : r.Take(kFieldBits[group]) != 0;
    }
    uint8_t selection[32][2] = {};
    bool sounding = false;
    for (int32_t sb = 0; sb < subbands; ++sb)
        for (int32_t ch = 0; ch < channels; ++ch)
            if (allocated[sb][ch]) selection[sb][ch] = uint8_t(r.Take(2)), sounding = true;
    constexpr int32_t kScaleFactorsBySelection[4] = {3, 2, 1, 2};
    for (int32_t sb = 0; sb < subbands; ++sb)
        for (int32_t ch = 0; ch < channels; ++ch)
            for (int32_t n = allocated[sb][ch] ? kScaleFactorsBySelection[selection[sb][ch]] : 0;
                 n > 0; --n)
                if (r.Take(6) == 63) return FrameFields::kImplausible;
    if (r.overrun()) return FrameFields::kImplausible;
    return sounding ? FrameFields::kSounding : FrameFields::kSilent;
}

int32_t decodeLayer2Frame(Decoder& d, FrameJob& job, const uint8_t* frame, uint8_t* out) {
    return DecodeLayer12Frame<Layer2>(d, job, frame, out);
}

}  // namespace mpeg
