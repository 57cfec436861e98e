// The frame skeleton Layers I and II share. Subbands and channels form one list of entries
// (2·sb + ch for two channels). A frame gives each entry an allocation (Layer I) or a
// quantisation class (Layer II), then scale factors, then its samples in twelve passes over
// the list: one sample per entry and pass in Layer I, one group of three in Layer II. Past the
// joint-stereo bound one allocation and one set of samples serve both channels of a subband.
//
// A layer supplies, as the static members of a type:
//   kSlots                       slots of 64 values a frame fills (12 or 36)
//   kPassBits[q]                 bits one pass takes for an entry of allocation or class q
//   Prepare(d, header)           whether the layer's stream set-up was done, after taking
//                                what the frame's header changes
//   StepFactors(d)               the step factor of each allocation or class
//   ReadAllocations(d, r, list)  the allocations, each handed to list.Set
//   ReadScaleFactors(d, r, bytes)
//                                s.scale of the allocated entries; `bytes` are those `r` reads
//   DecodeSamples(d, samples, first)
//                                the passes, as s.reads lays them out, from bit `first` of
//                                `samples` on
//
// Every pass takes the same bits in the same places, so pass p starts at first + p·passBits,
// and a layer reads each entry's samples of all twelve passes together.
#pragma once

#include <cstdint>

#include "allocation_list.h"
#include "decoder.h"
#include "frame_geometry.h"

namespace mpeg {

inline constexpr int32_t kLayer12Passes = 12;

// The 64 bits of `bytes` from bit `bit` on, the first of them highest; the lowest seven may
// belong to the next byte or not. Reads the eight bytes from bit / 8 on: the samples of a
// frame end within it, and the frame has read-ahead room behind it.
inline uint64_t BitsAt(const uint8_t* bytes, int32_t bit) {
    const uint8_t* p = bytes + (bit >> 3);
    const uint64_t word = (uint64_t{p[0]} << 56) | (uint64_t{p[1]} << 48) | (uint64_t{p[2]} << 40) |
                          (uint64_t{p[3]} << 32) | (uint64_t{p[4]} << 24) | (uint64_t{p[5]} << 16) |
                          (uint64_t{p[6]} << 8) | p[7];
    return word << (bit & 7);
}

// Lays out the passes of the frame (s.reads and the rest) by walking its entry codes.
void PlanPasses(LayerIIState& s, const uint8_t* passBits);

// Zeroes the entries this frame's passes leave silent that still hold samples, in the first
// `slots` slots; the passes write the rest.
void ClearSilentEntries(Decoder& d, int32_t slots);

// Fills `slots` slots of the sample buffer with zeros: a frame whose allocation asks for more
// bits than the frame holds is played as silence rather than read past its end.
void SilenceSlots(Decoder& d, int32_t slots);

// The stream set-up both layers share: channels, frequency limit, the synthesis, and a silent
// sample buffer of `slots` slots.
void SetUpLayer12Stream(Decoder& d, const StreamInfo& info, int32_t slots);

// Entry counts for `subbands` coded subbands per channel.
void SetCodedSubbands(LayerIIState& s, int32_t subbands);

template <class Layer>
int32_t DecodeLayer12Frame(Decoder& d, const FrameJob& job, const uint8_t* frame, uint8_t* out) {
    if (!Layer::Prepare(d, job)) return 0;
    LayerIIState& s = d.layer12;
    BitReader& r = d.bits;
    const int32_t headerBytes = HeaderBytes(job);
    bitsInit(r, frame + headerBytes);

    AllocationList list(s, job, Layer::kPassBits, Layer::StepFactors(d));
    Layer::ReadAllocations(d, r, list);
    list.Close();
    Layer::ReadScaleFactors(d, r, frame + headerBytes);
    PlanPasses(s, Layer::kPassBits);

    const int32_t frameBits = (d.currentFrameLength - headerBytes) * 8;
    if (bitsPosition(r) + kLayer12Passes * s.passBits > frameBits) {
        SilenceSlots(d, Layer::kSlots);
    } else {
        ClearSilentEntries(d, Layer::kSlots);
        Layer::DecodeSamples(d, frame + headerBytes, bitsPosition(r));
    }
    return d.synth(d, &d.spectrum[0][0][0], out, Layer::kSlots);
}

}  // namespace mpeg
