// The decoder's front end: headers, stream information, stream set-up and frame decoding.
#include <cmath>
#include <cstring>
#include <new>

#include "decoder.h"
#include "frame_geometry.h"
#include "synthesis.h"

namespace mpeg {

namespace {

int32_t Refuse(Decoder& d, int32_t error) {
    d.lastError = error;
    return 0;
}

int32_t DoNothing(Decoder&, FrameJob&, const uint8_t*, uint8_t*) {
    return 1;
}

constexpr LayerDecoder kLayerDecoders[3] = {decodeLayer1Frame, decodeLayer2Frame,
                                            decodeLayerIIIFrame};

// Where a Xing or VBRI header would start: after the header and any side information.
int32_t VbrHeaderOffset(const FrameHeader& h) {
    return HeaderBytes(h) + (h.layer == 3 ? LayerIIISideInfoBytes(h.version, ChannelsOf(h)) : 0);
}

// Frame length in bytes at `bitrate` bit/s and `rate` Hz, without the padding slot.
int32_t UnpaddedLength(const FrameHeader& h, int64_t bitrate, int64_t rate) {
    switch (h.layer) {
        case 1:
            return int32_t(bitrate * 12 / rate * 4);
        case 2:
            return int32_t(bitrate * 144 / rate);
        default:
            return int32_t(bitrate * 144 / rate / (h.version == 1 ? 1 : 2));
    }
}

int32_t PaddingSlotBytes(const FrameHeader& h) {
    return h.layer == 1 ? 4 : 1;
}

int32_t SamplesPerFrame(const FrameHeader& h, int32_t shift) {
    switch (h.layer) {
        case 1:
            return 384 >> shift;
        case 2:
            return 1152 >> shift;
        default:
            return (1152 >> shift) / (h.version == 1 ? 1 : 2);
    }
}

bool OptionsInRange(const DecoderOptions& o) {
    return o.downSamplingShift >= 0 && o.downSamplingShift <= 2;
}

}  // namespace

void DecoderDeleter::operator()(Decoder* decoder) const {
    delete decoder;
}

DecoderPtr CreateDecoder() {
    DecoderPtr decoder(new (std::nothrow) Decoder);
    if (decoder) {
        decoder->constants = &Constants();
        decoder->layerDecoder = DoNothing;
        decoder->simdPath = DefaultSimdPath();
    }
    return decoder;
}

void InitDecoderTables(Decoder& d) {
    d.options = DecoderOptions{};
    d.constants = &Constants();
}

int32_t ParseHeader(Decoder& d, const uint8_t* b, FrameHeader& h) {
    const int32_t versionBit = (b[1] >> 3) & 1;
    const int32_t layerBits = (b[1] >> 1) & 3;
    const int32_t protectionBit = b[1] & 1;
    h.bitrateIndex = b[2] >> 4;
    h.sampleRateIndex = (b[2] >> 2) & 3;
    h.padding = (b[2] >> 1) & 1;
    h.privateBit = b[2] & 1;
    h.mode = b[3] >> 6;
    h.modeExtension = (b[3] >> 4) & 3;
    h.copyrightFlag = (b[3] >> 3) & 1;
    h.originalFlag = (b[3] >> 2) & 1;
    h.emphasis = b[3] & 3;

    if (b[0] != 0xFF) return Refuse(d, kErrorNoSync);
    const int32_t top = b[1] >> 4;
    if (top == 0xF)
        h.version = versionBit ? 1 : 2;
    else if (top == 0xE)
        h.version = 3;  // MPEG-2.5, whatever the version bit says
    else
        return Refuse(d, kErrorNoSync);

    if (h.sampleRateIndex >= 3 || h.bitrateIndex == 0 || h.bitrateIndex >= 15 || layerBits == 0)
        return Refuse(d, kErrorInvalidHeader);
    h.layer = 4 - layerBits;
    h.crcPresent = 1 - protectionBit;
    return 1;
}

int32_t ParseFrameInfo(Decoder& d, const uint8_t* frame, int32_t available, StreamInfo& info,
                       int32_t publish) {
    if (available < kFrameInfoMinBytes) return Refuse(d, kErrorTooFewBytes);
    if (!ParseHeader(d, frame, info)) return 0;

    const uint8_t* p = frame + VbrHeaderOffset(info);
    const int16_t* bitrates = kBitrateKbps[info.version - 1][info.layer - 1];
    int32_t bitrate = bitrates[info.bitrateIndex] * 1000;
    const int32_t rate = kSampleRateHz[info.version - 1][info.sampleRateIndex];

    bool vbrHeader = false;
    if (std::memcmp(p, "Xing", 4) == 0) {
        const uint32_t flags = ReadU32BE(p + 4);
        if ((flags & 3) == 0) return Refuse(d, kErrorInvalidHeader);
        info.totalFrames = int32_t(ReadU32BE(p + 8));
        info.totalBytes = int32_t(ReadU32BE(p + 12));
        vbrHeader = true;
    } else if (std::memcmp(p, "VBRI", 4) == 0) {
        info.totalBytes = int32_t(ReadU32BE(p + 10));
        info.totalFrames = int32_t(ReadU32BE(p + 14));
        vbrHeader = true;
    } else {
        info.totalFrames = 0;
        info.totalBytes = 0;
    }

    const int32_t shift = d.options.downSamplingShift;
    const int32_t padSlot = PaddingSlotBytes(info);
    if (vbrHeader) {
        int64_t lowest = 0, highest = 0;
        for (int32_t i = 1; i <= 14; ++i) {
            const int64_t b = int64_t(bitrates[i]) * 1000;
            if (lowest == 0 || b < lowest) lowest = b;
            if (b > highest) highest = b;
        }
        info.frameLength = UnpaddedLength(info, bitrate, rate) + info.padding * padSlot;
        info.minFrameLength = UnpaddedLength(info, lowest, rate);
        info.maxFrameLength = UnpaddedLength(info, highest, rate) + padSlot;
    } else {
        info.frameLength = 0;
        info.minFrameLength = UnpaddedLength(info, bitrate, rate);
        info.maxFrameLength = info.minFrameLength + padSlot;
    }

    const int32_t samples = SamplesPerFrame(info, shift);
    info.outputChannels = (d.options.outputFlags & 3) != 0 ? 1 : ChannelsOf(info);
    if (d.options.outputFlags & kOutputFlag8Bit) {
        info.outputBits = 8;
        info.outputBytesPerFrame = samples * info.outputChannels;
    } else {
        info.outputBits = 16;
        info.outputBytesPerFrame = samples * info.outputChannels * 2;
    }
    if (publish == 1) {
        d.publishedSampleRate = rate;
        d.publishedOutputBytesPerFrame = info.outputBytesPerFrame;
    }
    info.sampleRate = rate >> shift;
    if (vbrHeader) bitrate = 0;
    info.bitrate = bitrate;
    return 1;
}

int32_t FrequencySubbandLimit(const Decoder& d) {
    const int64_t rate = d.publishedSampleRate;
    if (rate <= 0) return 0;
    int64_t limit = (int64_t(d.options.frequencyLimitHz) * 64 + rate / 2) / rate;
    const int32_t cap = d.options.downSamplingShift == 0   ? 32
                        : d.options.downSamplingShift == 1 ? 15
                                                           : 8;
    if (limit > cap) limit = cap;
    if (limit < 0) limit = 0;
    return int32_t(limit);
}

int32_t SetUpStream(Decoder& d, const uint8_t* frame, int32_t available) {
    StreamInfo info;
    if (!ParseFrameInfo(d, frame, available, info, 1)) return 0;
    if (!OptionsInRange(d.options)) return Refuse(d, kErrorUnsupported);
    ResetSynthesis(d);
    d.streamLayer = 0;
    d.layerDecoder = DoNothing;
    d.layer1Ready = d.layer2Ready = d.layer3.ready = false;
    int32_t ready = 0;
    switch (info.layer) {
        case 1:
            ready = Layer1StreamSetup(d, info);
            break;
        case 2:
            ready = Layer2StreamSetup(d, info);
            break;
        default:
            ready = LayerIIIStreamSetup(d, info);
            break;
    }
    // A stream the layer cannot set up (a Layer II bit-rate and mode combination without an
    // allocation table, say) is refused rather than decoded with another stream's tables.
    if (!ready) return Refuse(d, kErrorUnsupported);
    d.layerDecoder = kLayerDecoders[info.layer - 1];
    d.streamLayer = info.layer;
    d.streamVersion = info.version;
    d.streamChannels = ChannelsOf(info);
    d.streamOutputBytesPerFrame = info.outputBytesPerFrame;
    return 1;
}

int32_t DecodeFrame(Decoder& d, FrameJob& job) {
    if (job.inputLength <= kHeaderBytes) return Refuse(d, kErrorTooFewBytes);
    if (!ParseHeader(d, job.input, job)) return 0;
    job.bitrate = kBitrateKbps[job.version - 1][job.layer - 1][job.bitrateIndex] * 1000;
    const int32_t rate = d.publishedSampleRate;
    if (rate <= 0 || d.streamLayer == 0) return Refuse(d, kErrorUnsupported);
    // A frame of another layer, or a Layer III frame with another granule count, cannot be
    // decoded into this stream's output format.
    if (job.layer != d.streamLayer ||
        (job.layer == 3 && (job.version == 1) != (d.streamVersion == 1)))
        return Refuse(d, kErrorInvalidHeader);
    // The frame's length follows from the published rate, not the frame's own rate index.
    const int32_t length =
        UnpaddedLength(job, job.bitrate, rate) + job.padding * PaddingSlotBytes(job);
    d.currentFrameLength = length;
    if (job.inputLength < length) return Refuse(d, kErrorTooFewBytes);
    if (job.outputLength < d.streamOutputBytesPerFrame) return Refuse(d, kErrorTooFewBytes);

    // The layer decoders may read a little past the frame's end; a frame that ends too close
    // to the end of its input is read from a zero-padded copy instead.
    const uint8_t* frame = job.input;
    if (job.inputLength - length < kFrameReadPad) {
        std::memcpy(d.paddedFrame, job.input, size_t(length));
        std::memset(d.paddedFrame + length, 0, kFrameReadPad);
        frame = d.paddedFrame;
    }
    d.layerDecoder(d, job, frame, job.output);
    job.inputLength = length;
    job.outputLength = d.streamOutputBytesPerFrame;
    return 1;
}

DecoderOptions& GetDecoderOptions(const Decoder& d, DecoderOptions& options) {
    options = d.options;
    return options;
}

int32_t SetDecoderOptions(Decoder& d, const DecoderOptions& options) {
    d.options = options;
    return 1;
}

int32_t SetEqualizer(Decoder& d, const int32_t* bands) {
    if (bands == nullptr) {
        d.equaliserOn = 0;
        return 1;
    }
    d.equaliserOn = 1;
    // Ten bands over the 32 subbands: one each for 0..5, then 6-7, 8-11, 12-19, 20-31.
    constexpr int32_t kBandEnd[10] = {1, 2, 3, 4, 5, 6, 8, 12, 20, 32};
    for (int32_t band = 0, sb = 0; band < 10; ++band) {
        const float gain = float(std::pow(10.0, bands[band] / 200.0));
        for (; sb < kBandEnd[band]; ++sb) d.equaliserFactors[sb] = gain;
    }
    return 1;
}

int32_t LastDecoderError(const Decoder& d) {
    return d.lastError;
}

int32_t FindSync(Decoder& d, const uint8_t* bytes, int32_t length, int32_t& offset) {
    offset = 0;
    const int32_t m = length - 3;
    if (m <= 0) return Refuse(d, kErrorTooFewBytes);
    for (int32_t i = 0; i < m; ++i) {
        if (bytes[i] == 0xFF && ((bytes[i + 1] >> 4) == 0xF || (bytes[i + 1] >> 4) == 0xE)) {
            offset = i;
            return 1;
        }
    }
    return Refuse(d, kErrorTooFewBytes);
}

void DisableDecoding(Decoder& d) {
    d.layerDecoder = DoNothing;
}

void SelectLayerDecoder(Decoder& d, const FrameHeader& header) {
    if (header.layer < 1 || header.layer > 3) return;
    if (header.layer == 3) ResetReservoir(d);
    d.layerDecoder = kLayerDecoders[header.layer - 1];
}

int32_t PublishedSampleRate(const Decoder& d) {
    return d.publishedSampleRate;
}
int32_t PublishedOutputBytesPerFrame(const Decoder& d) {
    return d.publishedOutputBytesPerFrame;
}

}  // namespace mpeg
