// Layer I (ISO/IEC 11172-3 2.4.3.2) on the skeleton of layer12.h: a 4-bit allocation per
// entry, one scale factor, and one sample per entry and pass.
#include "layer12.h"

namespace mpeg {

namespace {

struct Layer1 {
    static constexpr int32_t kSlots = kLayer12Passes;
    // A sample of allocation a takes a + 1 bits (allocation 15 is forbidden, read as 0).
    static constexpr uint8_t kPassBits[16] = {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0};

    static bool Prepare(const Decoder& d, const FrameHeader&) { return d.layer1Ready; }
    static const float* StepFactors(const Decoder& d) { return d.constants->layer1StepFactor; }

    static void ReadAllocations(Decoder& d, BitReader& r, AllocationList& list) {
        for (int32_t e = 0; e < d.layer12.entryCount;) {
            bitsEnsure(r, 4);
            const int32_t a = int32_t(bitsTake(r, 4));
            e += list.Set(e, a == 15 ? 0 : a);  // forbidden: decoded as no allocation
        }
    }

    static void ReadScaleFactors(Decoder& d, BitReader& r, const uint8_t*) {
        const float* scaleFactors = d.constants->scaleFactorTable;
        LayerIIState& s = d.layer12;
        for (int32_t e = 0; e < s.entryCount; ++e) {
            if (s.allocation[e] == 0) continue;
            bitsEnsure(r, 6);
            s.scale[e][0] = s.stepFactor[e] * scaleFactors[bitsTake(r, 6)];
        }
    }

    static void DecodeSamples(Decoder& d, const uint8_t* samples, int32_t first) {
        const LayerIIState& s = d.layer12;
        for (int32_t i = 0; i < s.readCount; ++i) {
            const EntryRead& read = s.reads[i];
            const int32_t bits = read.allocation + 1;
            const int32_t offset = (1 << read.allocation) - 1;
            const float scale = s.scale[read.entry][0];
            const float scaleRight = s.scale[read.entry + 1][0];
            float* at = &d.spectrum[0][0][0] + read.entry;
            int32_t bit = first + read.bit;
            for (int32_t t = 0; t < kSlots; ++t, at += 64, bit += s.passBits) {
                const float v = float(int32_t(BitsAt(samples, bit) >> (64 - bits)) - offset);
                at[0] = v * scale;
                if (read.shared) at[1] = v * scaleRight;
            }
        }
    }
};

}  // namespace

int32_t Layer1StreamSetup(Decoder& d, const StreamInfo& info) {
    SetUpLayer12Stream(d, info, Layer1::kSlots);
    SetCodedSubbands(d.layer12, 32);
    d.layer1Ready = true;
    return 1;
}

int32_t decodeLayer1Frame(Decoder& d, FrameJob& job, const uint8_t* frame, uint8_t* out) {
    return DecodeLayer12Frame<Layer1>(d, job, frame, out);
}

}  // namespace mpeg
