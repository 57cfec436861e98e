// Layer II (ISO/IEC 11172-3 2.4.3.3; the lower sampling frequencies of ISO/IEC 13818-3 use its
// Table B.1). Same entry-list design as Layer I, with allocation tables, scale-factor selection
// and grouped samples.
#include <cstring>

#include "layer12_common.h"

namespace mpeg {

namespace {

constexpr uint8_t kSharedBase = 18;
constexpr uint8_t kEndSlot = 36;
constexpr uint8_t kSkipAndEnd = 37;
constexpr int32_t kGranules = 12;
constexpr int32_t kSlots = 36;
constexpr int32_t kFieldBits[4] = {4, 4, 3, 2};

// Bits of one group of three samples by quantisation class.
constexpr int32_t kGroupBits[18] = {0,  5,  7,  9,  10, 12, 15, 18, 21,
                                    24, 27, 30, 33, 36, 39, 42, 45, 48};

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

int32_t ChooseTable(const FrameHeader& h) {
    if (h.version != 1) return 4;
    const auto& row = ChannelsOf(h) == 1 ? kTableForMono : kTableForStereo;
    return row[h.sampleRateIndex][h.bitrateIndex];
}

int32_t SampleBitsOfClass(int32_t q) {
    return q == 3 ? 3 : q - 1;
}

int32_t SlotGroupBits(const LayerIIState& s, int32_t skipTotal) {
    int32_t bits = 0;
    for (int32_t e = 0;;) {
        const int32_t code = s.code[e];
        if (code == kEndSlot) return bits;
        if (code == kSkipAndEnd) return bits + skipTotal;
        if (code < kSharedBase) {
            bits += kGroupBits[code];
            e += 1;
        } else {
            bits += kGroupBits[code - kSharedBase];
            e += 2;
        }
    }
}

// Reads the three samples of one group of class q (1..17), unscaled.
void ReadGroup(BitReader& r, const DecoderConstants& c, int32_t q, float v[3]) {
    switch (q) {
        case 1: {
            bitsEnsure(r, 5);
            const int8_t* g = c.grouping3[bitsTake(r, 5)];
            v[0] = g[0], v[1] = g[1], v[2] = g[2];
            return;
        }
        case 2: {
            bitsEnsure(r, 7);
            const int8_t* g = c.grouping5[bitsTake(r, 7)];
            v[0] = g[0], v[1] = g[1], v[2] = g[2];
            return;
        }
        case 4: {
            bitsEnsure(r, 10);
            const int16_t* g = c.grouping9[bitsTake(r, 10)];
            v[0] = g[0], v[1] = g[1], v[2] = g[2];
            return;
        }
        default:
            break;
    }
    const int32_t b = SampleBitsOfClass(q);
    const int32_t offset = (1 << (b - 1)) - 1;
    if (b <= 8) {
        bitsEnsure(r, 3 * b);
        for (int32_t n = 0; n < 3; ++n) v[n] = float(int32_t(bitsTake(r, b)) - offset);
    } else if (b <= 12) {
        bitsEnsure(r, 2 * b);
        v[0] = float(int32_t(bitsTake(r, b)) - offset);
        v[1] = float(int32_t(bitsTake(r, b)) - offset);
        bitsEnsure(r, b);
        v[2] = float(int32_t(bitsTake(r, b)) - offset);
    } else {
        for (int32_t n = 0; n < 3; ++n) v[n] = float(int32_t(bitsGet(r, b)) - offset);
    }
}

void ReadScaleFactors(Decoder& d, BitReader& r) {
    const DecoderConstants& c = *d.constants;
    LayerIIState& s = d.layer12;
    for (int32_t e = 0; s.scfsi[e] != 5; ++e) {
        const float step = s.stepFactor[e];
        float* scale = s.scale[e];
        switch (s.scfsi[e]) {
            case 0:
                bitsEnsure(r, 18);
                scale[0] = step * c.scaleFactorTable[bitsTake(r, 6)];
                scale[1] = step * c.scaleFactorTable[bitsTake(r, 6)];
                scale[2] = step * c.scaleFactorTable[bitsTake(r, 6)];
                break;
            case 1:
                bitsEnsure(r, 12);
                scale[0] = scale[1] = step * c.scaleFactorTable[bitsTake(r, 6)];
                scale[2] = step * c.scaleFactorTable[bitsTake(r, 6)];
                break;
            case 2:
                bitsEnsure(r, 6);
                scale[0] = scale[1] = scale[2] = step * c.scaleFactorTable[bitsTake(r, 6)];
                break;
            case 3:
                bitsEnsure(r, 12);
                scale[0] = step * c.scaleFactorTable[bitsTake(r, 6)];
                scale[1] = scale[2] = step * c.scaleFactorTable[bitsTake(r, 6)];
                break;
            default:
                break;  // no allocation, no scale factors
        }
    }
}

void DecodeSamples(Decoder& d, BitReader& r, int32_t skipTotal) {
    const DecoderConstants& c = *d.constants;
    const LayerIIState& s = d.layer12;
    float* buffer = &d.spectrum[0][0][0];
    for (int32_t g = 0; g < kGranules; ++g) {
        const int32_t third = g / 4;
        float* slot = buffer + 64 * 3 * g;  // slots 3g, 3g + 1, 3g + 2
        for (int32_t e = 0;;) {
            const int32_t code = s.code[e];
            float v[3];
            if (code == 0) {
                slot[e] = slot[64 + e] = slot[128 + e] = 0.0f;
                e += 1;
            } else if (code < kSharedBase) {
                ReadGroup(r, c, code, v);
                const float scale = s.scale[e][third];
                for (int32_t n = 0; n < 3; ++n) slot[64 * n + e] = v[n] * scale;
                e += 1;
            } else if (code == kSharedBase) {
                for (int32_t n = 0; n < 3; ++n) slot[64 * n + e] = slot[64 * n + e + 1] = 0.0f;
                e += 2;
            } else if (code < kEndSlot) {
                ReadGroup(r, c, code - kSharedBase, v);
                const float left = s.scale[e][third];
                const float right = s.scale[e + 1][third];
                for (int32_t n = 0; n < 3; ++n) {
                    slot[64 * n + e] = v[n] * left;
                    slot[64 * n + e + 1] = v[n] * right;
                }
                e += 2;
            } else {
                if (code == kSkipAndEnd) bitsSkip(r, skipTotal);
                break;
            }
        }
    }
}

}  // namespace

int32_t Layer2StreamSetup(Decoder& d, const StreamInfo& info) {
    const int32_t table = ChooseTable(info);
    if (table < 0) return 0;
    LayerIIState& s = d.layer12;
    const AllocationTable& t = kAllocationTables[table];
    const int32_t channels = ChannelsOf(info);
    int32_t subbands = 0;
    for (int32_t i = 0; i < 4; ++i) {
        s.groupCount[i] = t.groupCount[i] * channels;
        s.classMap[i] = t.classMap[i];
        subbands += t.groupCount[i];
    }
    int32_t limit = FrequencySubbandLimit(d);
    if (limit > subbands) limit = subbands;
    s.entryCount = subbands * channels;
    s.subbandLimit = limit * channels;
    d.synth = SelectLayer12Synth(d, channels);
    std::memset(d.spectrum, 0, sizeof(float) * kSlots * 64);
    d.layer2Ready = true;
    return 1;
}

int32_t decodeLayer2Frame(Decoder& d, FrameJob& job, const uint8_t* frame, uint8_t* out) {
    if (!d.layer2Ready) return 0;
    const DecoderConstants& c = *d.constants;
    LayerIIState& s = d.layer12;
    BitReader& r = d.bits;
    const int32_t headerBytes = HeaderBytes(job);
    bitsInit(r, frame + headerBytes);

    const int32_t entries = s.entryCount;
    int32_t bound = JointStereoBoundEntries(job);
    int32_t skipTotal = 0;
    int32_t e = 0;
    for (int32_t group = 0, groupEnd = 0; group < 4; ++group) {
        groupEnd += s.groupCount[group];
        const uint8_t* classes = s.classMap[group];
        while (e < groupEnd) {
            bitsEnsure(r, 4);
            const int32_t q = classes[bitsTake(r, kFieldBits[group])];
            s.allocation[e] = uint8_t(q);
            s.code[e] = uint8_t(q);
            s.stepFactor[e] = c.layer2StepFactor[q];
            if (e >= s.subbandLimit) skipTotal += kGroupBits[q];
            if (--bound < 0) {
                s.code[e] = uint8_t(q + kSharedBase);
                s.allocation[e + 1] = s.allocation[e];
                s.code[e + 1] = s.code[e];
                s.stepFactor[e + 1] = s.stepFactor[e];
                ++e;
            }
            ++e;
        }
    }
    s.code[s.subbandLimit] = kSkipAndEnd;
    s.code[entries] = kEndSlot;
    s.code[entries + 1] = kEndSlot;

    for (int32_t i = 0; i < entries; ++i) {
        bitsEnsure(r, 2);
        s.scfsi[i] = s.allocation[i] != 0 ? uint8_t(bitsTake(r, 2)) : 4;
    }
    s.scfsi[entries] = 5;
    ReadScaleFactors(d, r);

    const int32_t frameBits = (d.currentFrameLength - headerBytes) * 8;
    if (bitsPosition(r) + kGranules * SlotGroupBits(s, skipTotal) > frameBits) {
        SilenceSlots(d, kSlots);
    } else {
        DecodeSamples(d, r, skipTotal);
    }
    return d.synth(d, &d.spectrum[0][0][0], out, kSlots);
}

}  // namespace mpeg
