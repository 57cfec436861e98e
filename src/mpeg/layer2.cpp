// Layer II (ISO/IEC 11172-3 2.4.3.3; the lower sampling frequencies of ISO/IEC 13818-3 use its
// Table B.1) on the skeleton of layer12.h: allocation tables that give each entry a
// quantisation class, scale-factor selection, and one group of three samples per entry and
// pass.
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

int32_t ChooseTable(const FrameHeader& h) {
    if (h.version != 1) return 4;
    const auto& row = ChannelsOf(h) == 1 ? kTableForMono : kTableForStereo;
    return row[h.sampleRateIndex][h.bitrateIndex];
}

// How a pass reads the group of one entry.
enum class GroupForm : uint8_t {
    kDigits3,     // a code word of three digits of 3 or 5 levels, looked up
    kDigits9,     // a code word of three digits of 9 levels, looked up
    kFields,      // three fields of up to 8 bits, taken at once
    kWideFields,  // three fields of 9 to 12 bits, taken two and one
    kWidest,      // three fields of 13 to 16 bits, taken one by one
};

struct GroupRead {
    GroupForm form;
    uint8_t bits;  // of the code word, or of one field
    uint8_t entry;
    bool shared;
    int32_t offset;  // subtracted from each field
    const int8_t* digits3;
    const int16_t* digits9;
    float scale[3];  // by third of the frame
    float scaleRight[3];
};

// The reads of a pass as the sample loop wants them.
int32_t PrepareReads(const Decoder& d, GroupRead* reads) {
    const DecoderConstants& c = *d.constants;
    const LayerIIState& s = d.layer12;
    const int32_t count = s.readCount;
    for (int32_t i = 0; i < count; ++i) {
        const EntryRead& read = s.reads[i];
        const int32_t q = read.allocation;
        GroupRead& g = reads[i];
        g.entry = read.entry;
        g.shared = read.shared;
        g.offset = 0;
        g.digits3 = nullptr;
        g.digits9 = nullptr;
        if (q == 1 || q == 2) {
            g.form = GroupForm::kDigits3;
            g.bits = uint8_t(q == 1 ? 5 : 7);
            g.digits3 = q == 1 ? &c.grouping3[0][0] : &c.grouping5[0][0];
        } else if (q == 4) {
            g.form = GroupForm::kDigits9;
            g.bits = 10;
            g.digits9 = &c.grouping9[0][0];
        } else {
            // Classes 3 and 5..17: 3 bits, then 4..16.
            const int32_t b = q == 3 ? 3 : q - 1;
            g.form = b <= 8    ? GroupForm::kFields
                     : b <= 12 ? GroupForm::kWideFields
                               : GroupForm::kWidest;
            g.bits = uint8_t(b);
            g.offset = (1 << (b - 1)) - 1;
        }
        for (int32_t third = 0; third < 3; ++third) {
            g.scale[third] = s.scale[read.entry][third];
            g.scaleRight[third] = s.scale[read.entry + 1][third];
        }
    }
    return count;
}

struct Layer2 {
    static constexpr int32_t kSlots = 3 * kLayer12Passes;
    // Bits of one group of three samples by quantisation class.
    static constexpr uint8_t kPassBits[18] = {0,  5,  7,  9,  10, 12, 15, 18, 21,
                                              24, 27, 30, 33, 36, 39, 42, 45, 48};

    static bool Ready(const Decoder& d) { return d.layer2Ready; }
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
    static void ReadScaleFactors(Decoder& d, BitReader& r) {
        const float* scaleFactors = d.constants->scaleFactorTable;
        LayerIIState& s = d.layer12;
        for (int32_t i = 0; i < s.entryCount; ++i) {
            bitsEnsure(r, 2);
            s.scfsi[i] = s.allocation[i] != 0 ? uint8_t(bitsTake(r, 2)) : 4;
        }
        for (int32_t e = 0; e < s.entryCount; ++e) {
            const float step = s.stepFactor[e];
            float* scale = s.scale[e];
            switch (s.scfsi[e]) {
                case 0:
                    bitsEnsure(r, 18);
                    scale[0] = step * scaleFactors[bitsTake(r, 6)];
                    scale[1] = step * scaleFactors[bitsTake(r, 6)];
                    scale[2] = step * scaleFactors[bitsTake(r, 6)];
                    break;
                case 1:
                    bitsEnsure(r, 12);
                    scale[0] = scale[1] = step * scaleFactors[bitsTake(r, 6)];
                    scale[2] = step * scaleFactors[bitsTake(r, 6)];
                    break;
                case 2:
                    bitsEnsure(r, 6);
                    scale[0] = scale[1] = scale[2] = step * scaleFactors[bitsTake(r, 6)];
                    break;
                case 3:
                    bitsEnsure(r, 12);
                    scale[0] = step * scaleFactors[bitsTake(r, 6)];
                    scale[1] = scale[2] = step * scaleFactors[bitsTake(r, 6)];
                    break;
                default:
                    break;  // no allocation, no scale factors
            }
        }
    }

    // Twelve passes, four in each third of the frame; a pass fills three slots.
    static void DecodeSamples(Decoder& d, BitReader& r) {
        GroupRead reads[64];
        const int32_t count = PrepareReads(d, reads);
        const int32_t skip = d.layer12.passSkip;
        float* slot = &d.spectrum[0][0][0];
        for (int32_t pass = 0; pass < kLayer12Passes; ++pass, slot += 3 * 64) {
            const int32_t third = pass / 4;
            for (int32_t i = 0; i < count; ++i) {
                const GroupRead& g = reads[i];
                int32_t v0, v1, v2;
                const int32_t b = g.bits;
                switch (g.form) {
                    case GroupForm::kDigits3: {
                        bitsEnsure(r, b);
                        const int8_t* digits = g.digits3 + 3 * bitsTake(r, b);
                        v0 = digits[0], v1 = digits[1], v2 = digits[2];
                        break;
                    }
                    case GroupForm::kDigits9: {
                        bitsEnsure(r, b);
                        const int16_t* digits = g.digits9 + 3 * bitsTake(r, b);
                        v0 = digits[0], v1 = digits[1], v2 = digits[2];
                        break;
                    }
                    case GroupForm::kFields: {
                        bitsEnsure(r, 3 * b);
                        const uint32_t x = bitsTake(r, 3 * b);
                        const uint32_t mask = (1u << b) - 1;
                        v0 = int32_t(x >> (2 * b)) - g.offset;
                        v1 = int32_t((x >> b) & mask) - g.offset;
                        v2 = int32_t(x & mask) - g.offset;
                        break;
                    }
                    case GroupForm::kWideFields:
                        bitsEnsure(r, 2 * b);
                        v0 = int32_t(bitsTake(r, b)) - g.offset;
                        v1 = int32_t(bitsTake(r, b)) - g.offset;
                        bitsEnsure(r, b);
                        v2 = int32_t(bitsTake(r, b)) - g.offset;
                        break;
                    default:
                        v0 = int32_t(bitsGet(r, b)) - g.offset;
                        v1 = int32_t(bitsGet(r, b)) - g.offset;
                        v2 = int32_t(bitsGet(r, b)) - g.offset;
                        break;
                }
                float* at = slot + g.entry;
                const float left = g.scale[third];
                at[0] = float(v0) * left;
                at[64] = float(v1) * left;
                at[128] = float(v2) * left;
                if (g.shared) {
                    const float right = g.scaleRight[third];
                    at[1] = float(v0) * right;
                    at[65] = float(v1) * right;
                    at[129] = float(v2) * right;
                }
            }
            if (skip != 0) bitsSkip(r, skip);
        }
    }
};

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
    SetUpLayer12Stream(d, info, subbands, Layer2::kSlots);
    d.layer2Ready = true;
    return 1;
}

int32_t decodeLayer2Frame(Decoder& d, FrameJob& job, const uint8_t* frame, uint8_t* out) {
    return DecodeLayer12Frame<Layer2>(d, job, frame, out);
}

}  // namespace mpeg
