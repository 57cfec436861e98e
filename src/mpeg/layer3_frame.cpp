// Layer III stream set-up, frame entry and granule driver. A frame's main data goes into the
// bit reservoir first; its granules may begin in the data of earlier frames.
#include <algorithm>
#include <cstring>

#include "frame_geometry.h"
#include "layer3.h"

namespace mpeg {

namespace {

// Compacting the reservoir above this fill keeps the largest main data of any valid frame
// within its 8192 bytes.
constexpr int32_t kCompactAbove = 6692;

// How far a channel's Huffman data may run past its end before the channel counts as corrupt
// and is silenced.
constexpr int32_t kHuffmanOverrunBits = 16;

// Appends the frame's main data; sets the frame start (negative when the frame reaches back
// past what the reservoir holds).
void FillReservoir(LayerIIIState& s, const uint8_t* mainData, int32_t length) {
    MainDataReservoir& res = s.reservoir;
    length = std::max(length, 0);
    res.frameStart = res.fill - s.mainDataBegin;
    // Also compacted when a corrupt frame length would not fit otherwise.
    if (res.fill > kCompactAbove || res.fill + length > kReservoirBytes) {
        const int32_t keep = std::min(s.mainDataBegin, res.fill);
        std::memmove(res.buffer, res.buffer + res.fill - keep, size_t(keep));
        res.fill = keep;
        res.frameStart = res.fill - s.mainDataBegin;
    }
    length = std::min(length, kReservoirBytes - res.fill);
    std::memcpy(res.buffer + res.fill, mainData, size_t(length));
    res.fill += length;
}

void DecodeChannel(Decoder& d, int32_t slot, int32_t channel) {
    LayerIIIState& s = d.layer3;
    MainDataReservoir& res = s.reservoir;
    BitReader& r = d.bits;
    const GranuleInfo& g = s.granules[slot][channel];
    float* x = d.spectrum[channel][slot];

    const int32_t start = res.bitCursor;
    res.bitCursor += g.part2_3_length;
    // A channel whose data would lie beyond the reservoir's room is silence.
    if (res.bitCursor / 8 + 64 > kReservoirBytes + kReservoirSlack) {
        std::memset(x, 0, sizeof(float) * 576);
        s.nonzeroCount[slot][channel] = 0;
        return;
    }
    bitsInit(r, res.buffer + start / 8);
    const int32_t alignBits = start % 8;
    bitsGet(r, alignBits);
    // Huffman data that runs on past the channel's end is the next channel's, read as if it
    // were this one's. A legal stream overruns only in its last count1 quadruple (at most 9
    // bits, and that quadruple is dropped); a stream that overruns further is corrupt.
    bitsSetEnd(r, alignBits + g.part2_3_length + kHuffmanOverrunBits);

    if (s.streamVersion == 1)
        ReadScaleFactorsMpeg1(d, slot, channel);
    else
        ReadScaleFactorsLsf(d, slot, channel);

    const int32_t bigEnd = std::min(2 * g.big_values, s.lineLimit);
    const int32_t region1 = std::min<int32_t>(s.longBandEnd[g.region0_count], bigEnd);
    // Region counts past the last band (corrupt side information) mean the end of the spectrum.
    const int32_t region2Band = g.region0_count + g.region1_count + 1;
    const int32_t region2 =
        region2Band < 22 ? std::min(s.longBandEnd[region2Band], bigEnd) : bigEnd;
    DecodeBigValues(d, x, region1, g.table_select[0]);
    DecodeBigValues(d, x + region1, region2 - region1, g.table_select[1]);
    DecodeBigValues(d, x + region2, bigEnd - region2, g.table_select[2]);
    const int32_t budget = g.part2_3_length - (bitsPosition(r) - alignBits);
    const int32_t nonzero =
        bigEnd + DecodeCount1(d, x + bigEnd, s.lineLimit - bigEnd, budget, g.count1table_select);

    const int32_t limit = g.block_type == 2 ? s.shortLimit : s.longLimit;
    const int32_t zeroFrom = std::min(nonzero, limit);
    std::memset(x + zeroFrom, 0, sizeof(float) * size_t(576 - zeroFrom));
    // Data that ran past its part2_3_length is not this channel's: silence it.
    if (bitsPastEnd(r)) std::memset(x, 0, sizeof(float) * 576);
    s.nonzeroCount[slot][channel] = nonzero;
}

// A one-channel frame in a two-channel stream plays on both sides.
void CopyLeftToRight(Decoder& d, int32_t slot) {
    LayerIIIState& s = d.layer3;
    std::memcpy(d.spectrum[1][slot], d.spectrum[0][slot], sizeof(float) * 576);
    s.nonzeroCount[slot][1] = s.nonzeroCount[slot][0];
    s.bandInfo[slot][1] = s.bandInfo[slot][0];
    s.granules[slot][1] = s.granules[slot][0];
}

void decodeGranule(Decoder& d, uint8_t* out, int32_t slot) {
    DecodeGranuleLines(d, slot);
    RequantiseGranule(d, slot);
    ProcessStereoAndAliasing(d, slot);
    d.layer3.hybrid(d, out, slot);
}

}  // namespace

void DecodeGranuleLines(Decoder& d, int32_t slot) {
    LayerIIIState& s = d.layer3;
    const int32_t decoded = std::min(s.channels, s.frameChannels);
    for (int32_t ch = 0; ch < s.frameChannels; ++ch) {
        if (ch < decoded)
            DecodeChannel(d, slot, ch);
        else
            s.reservoir.bitCursor += s.granules[slot][ch].part2_3_length;  // not played
    }
}

void RequantiseGranule(Decoder& d, int32_t slot) {
    LayerIIIState& s = d.layer3;
    const int32_t decoded = std::min(s.channels, s.frameChannels);
    for (int32_t ch = 0; ch < decoded; ++ch) Requantise(d, d.spectrum[ch][slot], slot, ch);
    if (decoded < s.channels) CopyLeftToRight(d, slot);
}

void ResetReservoir(Decoder& d) {
    MainDataReservoir& res = d.layer3.reservoir;
    // A damaged granule may claim more bits than the reservoir holds, and its reading runs on
    // into the bytes past the fill: zeros, never what an earlier run left there, so a stream
    // decoded again decodes the same.
    std::memset(res.buffer, 0, sizeof res.buffer);
    res.fill = 0;
    res.frameStart = 0;
    res.granuleSlot = 0;
}

int32_t LayerIIIStreamSetup(Decoder& d, const StreamInfo& info) {
    LayerIIIState& s = d.layer3;
    ResetReservoir(d);
    s.streamVersion = info.version;
    s.mixedLongBands = info.version == 1 ? 8 : 6;
    s.subbandLimit = FrequencySubbandLimit(d);

    const BandTable& bands = BandTableFor(info.version, info.sampleRateIndex);
    for (int32_t m = 0; m < 22; ++m) {
        s.longBandEnd[m] = bands.longBoundaries[m + 1];
        s.longBandWidth[m] = bands.longBoundaries[m + 1] - bands.longBoundaries[m];
    }
    for (int32_t m = 0; m < 13; ++m) {
        s.shortBandEnd[m] = 3 * bands.shortBoundaries[m + 1];
        s.shortBandWidth[m] = bands.shortBoundaries[m + 1] - bands.shortBoundaries[m];
    }
    // The last long band (and short band 12) has no scale factor, but its lines carry sound
    // in every version: nothing is cut below line 576.
    s.longLimit = 576;
    s.shortLimit = 576;
    s.lineLimit = std::min(s.longLimit + 8, s.subbandLimit * 18);
    s.longLimit = std::min(s.longLimit, s.lineLimit);
    s.shortLimit = std::min(s.shortLimit, s.lineLimit);

    s.channels = ChannelsOf(info);
    d.synth = SelectLayer3Synth(d, s.channels);
    s.hybrid = kHybridRoutines[s.channels == 1 ? 0 : 1 + (d.options.outputFlags & 3)];
    s.filterbank = &SelectFilterbank(d);

    std::memset(d.spectrum, 0, sizeof d.spectrum);
    std::memset(s.subbandSamples, 0, sizeof s.subbandSamples);
    std::memset(s.nonzeroCount, 0, sizeof s.nonzeroCount);
    s.ready = true;
    return 1;
}

int32_t decodeLayerIIIFrame(Decoder& d, FrameJob& job, const uint8_t* frame, uint8_t* out) {
    LayerIIIState& s = d.layer3;
    if (!s.ready) return 0;
    const bool joint = job.mode == kModeJointStereo;
    s.msStereo = joint && (job.modeExtension & 2);
    s.intensityStereo = joint && (job.modeExtension & 1);

    BitReader& r = d.bits;
    const int32_t headerBytes = HeaderBytes(job);
    bitsInit(r, frame + headerBytes);
    const bool mpeg1 = job.version == 1;
    const int32_t slot = mpeg1 ? 0 : s.reservoir.granuleSlot;
    const int32_t sideInfoBytes = mpeg1 ? ReadSideInfoMpeg1(d, job) : ReadSideInfoLsf(d, job, slot);

    const int32_t mainDataOffset = headerBytes + sideInfoBytes;
    FillReservoir(s, frame + mainDataOffset, d.currentFrameLength - mainDataOffset);
    // The frame reaches back past what the reservoir holds (just after opening or restarting):
    // it produces no samples, and its main data waits for the frames that follow.
    if (s.reservoir.frameStart < 0) return 0;

    s.reservoir.bitCursor = s.reservoir.frameStart * 8;
    if (mpeg1) {
        decodeGranule(d, out, 0);
        decodeGranule(d, out + d.streamOutputBytesPerFrame / 2, 1);
    } else {
        decodeGranule(d, out, slot);
        s.reservoir.granuleSlot = slot ^ 1;
    }
    return 1;
}

}  // namespace mpeg
