// Layer I (ISO/IEC 11172-3 2.4.3.2). Subbands and channels form one list of entries; each
// frame compiles its allocation into one code per entry, and the sample loop switches on it.
#include <cstring>

#include "layer12_common.h"

namespace mpeg {

namespace {

// Codes of the sample loop: 0 silent, 1..14 allocation, 15 shared pair without allocation,
// 16..29 shared pair (allocation + 15), then the two end codes.
constexpr uint8_t kSharedBase = 15;
constexpr uint8_t kEndSlot = 30;
constexpr uint8_t kSkipAndEnd = 31;
constexpr int32_t kSlots = 12;

int32_t SampleBits(int32_t allocation) {
    return allocation == 0 ? 0 : allocation + 1;
}

// Bits one slot's samples take, following the codes exactly as the sample loop does.
int32_t SlotBits(const LayerIIState& s, int32_t skipTotal) {
    int32_t bits = 0;
    for (int32_t e = 0;;) {
        const int32_t code = s.code[e];
        if (code == kEndSlot) return bits;
        if (code == kSkipAndEnd) return bits + skipTotal;
        if (code < kSharedBase) {
            bits += SampleBits(code);
            e += 1;
        } else {
            bits += SampleBits(code - kSharedBase);
            e += 2;
        }
    }
}

float ReadSample(BitReader& r, int32_t allocation) {
    const int32_t k = int32_t(bitsGet(r, allocation + 1));
    return float(k - ((1 << allocation) - 1));
}

void DecodeSamples(Decoder& d, BitReader& r, int32_t skipTotal) {
    const LayerIIState& s = d.layer12;
    float* slot = &d.spectrum[0][0][0];
    for (int32_t t = 0; t < kSlots; ++t, slot += 64) {
        for (int32_t e = 0;;) {
            const int32_t code = s.code[e];
            if (code == 0) {
                slot[e++] = 0.0f;
            } else if (code < kSharedBase) {
                slot[e] = ReadSample(r, code) * s.scale[e][0];
                e += 1;
            } else if (code == kSharedBase) {
                slot[e] = slot[e + 1] = 0.0f;
                e += 2;
            } else if (code < kEndSlot) {
                const float v = ReadSample(r, code - kSharedBase);
                slot[e] = v * s.scale[e][0];
                slot[e + 1] = v * s.scale[e + 1][0];
                e += 2;
            } else {
                if (code == kSkipAndEnd) bitsSkip(r, skipTotal);
                break;
            }
        }
    }
}

}  // namespace

int32_t Layer1StreamSetup(Decoder& d, const StreamInfo& info) {
    LayerIIState& s = d.layer12;
    const int32_t channels = ChannelsOf(info);
    int32_t limit = FrequencySubbandLimit(d);
    if (limit > 32) limit = 32;
    s.entryCount = 32 * channels;
    s.subbandLimit = limit * channels;
    d.synth = SelectLayer12Synth(d, channels);
    std::memset(d.spectrum, 0, sizeof(float) * kSlots * 64);
    d.layer1Ready = true;
    return 1;
}

int32_t decodeLayer1Frame(Decoder& d, FrameJob& job, const uint8_t* frame, uint8_t* out) {
    if (!d.layer1Ready) return 0;
    const DecoderConstants& c = *d.constants;
    LayerIIState& s = d.layer12;
    BitReader& r = d.bits;
    const int32_t headerBytes = HeaderBytes(job);
    bitsInit(r, frame + headerBytes);

    const int32_t entries = s.entryCount;
    int32_t bound = JointStereoBoundEntries(job);
    int32_t skipTotal = 0;
    for (int32_t e = 0; e < entries; ++e) {
        bitsEnsure(r, 4);
        int32_t a = int32_t(bitsTake(r, 4));
        if (a == 15) a = 0;  // forbidden: decoded as no allocation
        s.allocation[e] = uint8_t(a);
        s.code[e] = uint8_t(a);
        s.stepFactor[e] = c.layer1StepFactor[a];
        if (e >= s.subbandLimit) skipTotal += SampleBits(a);
        if (--bound < 0) {
            s.code[e] = uint8_t(a + kSharedBase);
            s.allocation[e + 1] = s.allocation[e];
            s.code[e + 1] = s.code[e];
            s.stepFactor[e + 1] = s.stepFactor[e];
            ++e;
        }
    }
    s.code[s.subbandLimit] = kSkipAndEnd;
    s.code[entries] = kEndSlot;
    s.code[entries + 1] = kEndSlot;

    for (int32_t e = 0; e < entries; ++e) {
        if (s.allocation[e] == 0) continue;
        bitsEnsure(r, 6);
        s.scale[e][0] = s.stepFactor[e] * c.scaleFactorTable[bitsTake(r, 6)];
    }

    const int32_t frameBits = (d.currentFrameLength - headerBytes) * 8;
    if (bitsPosition(r) + kSlots * SlotBits(s, skipTotal) > frameBits) {
        SilenceSlots(d, kSlots);
    } else {
        DecodeSamples(d, r, skipTotal);
    }
    return d.synth(d, &d.spectrum[0][0][0], out, kSlots);
}

void SilenceSlots(Decoder& d, int32_t slots) {
    std::memset(d.spectrum, 0, sizeof(float) * 64 * slots);
}

}  // namespace mpeg
