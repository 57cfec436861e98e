// What Layers I and II share beyond the frame skeleton of layer12.h.
#include "layer12.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace mpeg {

void PlanPasses(LayerIIState& s, const uint8_t* passBits) {
    int32_t reads = 0;
    int32_t bits = 0;
    uint64_t silent = 0;
    uint64_t read = 0;
    int32_t e = 0;
    for (;;) {
        const int32_t code = s.code[e];
        if (code == kEndOfList || code == kSkipAndEnd) break;
        const bool shared = (code & kSharedPair) != 0;
        const int32_t q = code & ~kSharedPair;
        // A pair takes entries e and e + 1; e + 1 is at most 63, as a pair starts on an odd
        // entry only in a one-channel stream, whose list is half as long.
        const uint64_t entries = uint64_t{shared ? 3u : 1u} << e;
        if (q == 0) {
            silent |= entries;
        } else {
            s.reads[reads++] = EntryRead{uint8_t(e), uint8_t(q), shared, uint16_t(bits)};
            read |= entries;
            bits += passBits[q];
        }
        e += shared ? 2 : 1;
    }
    s.readCount = reads;
    s.passSkip = s.code[e] == kSkipAndEnd ? s.skippedBits : 0;
    s.passBits = bits + s.passSkip;
    s.silentEntries = silent;
    s.readEntries = read;
}

void ClearSilentEntries(Decoder& d, int32_t slots) {
    LayerIIState& s = d.layer12;
    float* buffer = &d.spectrum[0][0][0];
    for (uint64_t stale = s.heldEntries & s.silentEntries; stale != 0; stale &= stale - 1) {
        const int32_t e = std::countr_zero(stale);
        for (int32_t t = 0; t < slots; ++t) buffer[64 * t + e] = 0.0f;
    }
    s.heldEntries = (s.heldEntries & ~s.silentEntries) | s.readEntries;
}

void SilenceSlots(Decoder& d, int32_t slots) {
    std::memset(d.spectrum, 0, sizeof(float) * 64 * slots);
    d.layer12.heldEntries = 0;
}

void SetUpLayer12Stream(Decoder& d, const StreamInfo& info, int32_t slots) {
    LayerIIState& s = d.layer12;
    s.channels = ChannelsOf(info);
    s.frequencyLimit = FrequencySubbandLimit(d);
    d.synth = SelectLayer12Synth(d, s.channels);
    SilenceSlots(d, slots);
}

void SetCodedSubbands(LayerIIState& s, int32_t subbands) {
    s.entryCount = subbands * s.channels;
    s.subbandLimit = std::min(s.frequencyLimit, subbands) * s.channels;
}

}  // namespace mpeg
