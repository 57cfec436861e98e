// The decoder object: every piece of mutable decoder state, in one place. Private to src/mpeg.
#pragma once

#include <cstdint>

#include "bit_reader.h"
#include "layer3_state.h"
#include "mpeg_decoder.h"
#include "tables.h"

namespace mpeg {

// Decodes one frame (job, the frame's bytes with read-ahead room, where its PCM goes).
using LayerDecoder = int32_t (*)(Decoder& d, FrameJob& job, const uint8_t* frame, uint8_t* out);

// Synthesis and PCM output. Layer I/II form: (slots of 64 floats, out, slot count);
// Layer III form: (18 slots of 32 floats, out, channel 0 or 1).
using SynthFunction = int32_t (*)(Decoder& d, float* samples, uint8_t* out, int32_t slotsOrChannel);

// Bytes a frame's bit reader may touch beyond its last byte: allocation and scale factors of
// a corrupt Layer I/II frame (at most 64 entries of 4 + 2 + 18 bits), side information, and the
// eight bytes a refill or a Layer I/II sample read loads ahead.
inline constexpr int32_t kFrameReadPad = 512;

// Floats a synthesis slot's window sums take: 32 outputs and scratch lanes.
inline constexpr int32_t kPendingSumsRoom = 40;

// One read of a Layer I/II pass: an entry with samples, its allocation (Layer I) or
// quantisation class (Layer II), whether the next entry shares its samples, and where its bits
// start within the pass.
struct EntryRead {
    uint8_t entry;
    uint8_t allocation;
    bool shared;
    uint16_t bit;
};

// Layer I and II state. Entries interleave subbands and channels: 2·sb + ch for two channels.
struct LayerIIState {
    int32_t channels = 0;        // of the stream
    int32_t frequencyLimit = 0;  // subbands below the frequency limit
    int32_t entryCount = 0;      // E: entries of the allocation list
    int32_t subbandLimit = 0;    // entries at and above it are skipped, not decoded
    // Layer II: the allocation table by bit-rate index (-1: none) and the one in use.
    const int8_t* tableByBitrate = nullptr;
    int32_t table = -1;
    int32_t groupCount[4] = {};
    const uint8_t* classMap[4] = {};  // allocation code -> quantisation class, per group

    // Per frame, one value per entry plus two end slots (a shared pair may start at E - 1 of
    // a corrupt stream, and its end code must still be found).
    uint8_t allocation[66] = {};
    uint8_t code[66] = {};
    float stepFactor[66] = {};
    float scale[66][3] = {};
    int32_t skippedBits = 0;  // bits a pass takes for the entries at and above the limit

    // Per frame, what every pass over the entries does: the reads in order, the bits it takes
    // (with those it skips at the end), the entries it sets silent and those it reads.
    EntryRead reads[64] = {};
    int32_t readCount = 0;
    int32_t passBits = 0;
    int32_t passSkip = 0;
    uint64_t silentEntries = 0;
    uint64_t readEntries = 0;
    // Entries whose slots may still hold samples; every other entry of the buffer is zero.
    uint64_t heldEntries = 0;
};

struct Decoder {
    const DecoderConstants* constants = nullptr;

    DecoderOptions options;
    int32_t lastError = 0;
    int32_t publishedSampleRate = 0;
    int32_t publishedOutputBytesPerFrame = 0;
    int32_t currentFrameLength = 0;

    // The stream as set up by SetUpStream: 0 layer means nothing is set up.
    int32_t streamLayer = 0;
    int32_t streamVersion = 0;
    int32_t streamChannels = 0;
    int32_t streamOutputBytesPerFrame = 0;

    SimdPath simdPath = SimdPath::kGeneric;

    BitReader bits;
    LayerDecoder layerDecoder = nullptr;
    SynthFunction synth = nullptr;

    // Polyphase synthesis: one ring of DCT outputs per channel and the slot position in it.
    // At rate shift s a ring holds R = 512 >> s values; each is stored twice, at i and i + R,
    // so the window reads every run of values contiguously, without wrapping.
    alignas(64) float synthHistory[2][1024] = {};
    // The same values in reverse order as well (value i of a ring at R - 1 - i, also twice), so
    // the window reads the runs it takes backwards as forward runs.
    alignas(64) float synthHistoryReversed[2][1024] = {};
    // Layer III stereo: channel 0's window sums of a granule, 18 slots of 32 outputs and
    // scratch room, stored as pairs once channel 1's are done.
    alignas(32) float pendingLeftSums[18][kPendingSumsRoom] = {};
    int32_t synthPosition = 0;
    int32_t synthPositionRight = 0;
    int32_t equaliserOn = 0;
    float equaliserFactors[32] = {};

    // Layer I and II set-ups are kept apart, so a decoder selected without its set-up finds
    // itself not ready and writes nothing.
    bool layer1Ready = false;
    bool layer2Ready = false;
    LayerIIState layer12;

    LayerIIIState layer3;

    // Layer III spectrum, 2 channels × 2 granule slots × 576 lines; Layers I and II use the
    // same memory as their sample buffer of 36 slots × 64 floats.
    alignas(64) float spectrum[2][2][576] = {};

    // A frame that ends too close to the end of its input is decoded from this padded copy.
    alignas(64) uint8_t paddedFrame[kMaxFrameBytes + kFrameReadPad] = {};
};

// Layer entries and set-ups (layer1.cpp, layer2.cpp).
int32_t Layer1StreamSetup(Decoder& d, const StreamInfo& info);
int32_t Layer2StreamSetup(Decoder& d, const StreamInfo& info);
int32_t decodeLayer1Frame(Decoder& d, FrameJob& job, const uint8_t* frame, uint8_t* out);
int32_t decodeLayer2Frame(Decoder& d, FrameJob& job, const uint8_t* frame, uint8_t* out);

// Layer III entry and set-up (layer3_frame.cpp).
int32_t LayerIIIStreamSetup(Decoder& d, const StreamInfo& info);
int32_t decodeLayerIIIFrame(Decoder& d, FrameJob& job, const uint8_t* frame, uint8_t* out);
// Empties the bit reservoir (fill, frame start, granule slot).
void ResetReservoir(Decoder& d);

// Subband limit shared by all layers: subbands below the frequency limit, capped by the rate.
int32_t FrequencySubbandLimit(const Decoder& d);

// Synthesis (synthesis.cpp).
void ResetSynthesis(Decoder& d);
SynthFunction SelectLayer12Synth(const Decoder& d, int32_t streamChannels);
SynthFunction SelectLayer3Synth(const Decoder& d, int32_t streamChannels);

}  // namespace mpeg
