// Zirvak's MPEG audio decoder: MPEG-1, MPEG-2 and MPEG-2.5, Layers I, II and III.
//
// This is the only header the rest of the program includes. All mutable state lives in one
// `Decoder` object that every routine takes explicitly, so two streams can be decoded at once
// (the engine, a test, a benchmark each own their decoder). The constant tables behind it are
// built once per process and never written again.
//
// Results follow one rule: routines return 1 for success and 0 for a refusal, and leave the
// reason in the decoder's last error (`LastDecoderError`).
#pragma once

#include <cstdint>
#include <memory>

namespace mpeg {

// Last-error codes.
enum DecoderErrorCode : int32_t {
    kErrorNone = 0,
    kErrorNoSync = 3,         // first byte not 0xFF, or the next byte's top nibble not 0xF/0xE
    kErrorInvalidHeader = 4,  // reserved rate, bit-rate index 0 or 15, layer bits 0, bad Xing flags
    kErrorTooFewBytes = 5,    // fewer bytes offered than needed, or no sync found
    kErrorUnsupported = 6,    // a stream this decoder cannot set up (no allocation table, ...)
};

// The twelve fields of a frame header. It opens both StreamInfo and FrameJob, so a layer decoder
// can take either.
struct FrameHeader {
    int32_t version = 0;  // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
    int32_t layer = 0;    // 1, 2 or 3
    int32_t crcPresent = 0;
    int32_t bitrateIndex = 0;     // 1..14
    int32_t sampleRateIndex = 0;  // 0..2
    int32_t padding = 0;
    int32_t privateBit = 0;
    int32_t mode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int32_t modeExtension = 0;
    int32_t copyrightFlag = 0;
    int32_t originalFlag = 0;
    int32_t emphasis = 0;
};

inline constexpr int32_t kModeStereo = 0;
inline constexpr int32_t kModeJointStereo = 1;
inline constexpr int32_t kModeDualChannel = 2;
inline constexpr int32_t kModeSingleChannel = 3;

// A frame header followed by what follows from it for the whole stream.
struct StreamInfo : FrameHeader {
    int32_t outputChannels = 0;  // channels of the PCM the decoder writes
    int32_t outputBits = 0;      // 8 or 16
    int32_t sampleRate = 0;      // output samples per second (after the down-sampling shift)
    int32_t bitrate = 0;         // bit/s of this frame; 0 when it carries a Xing or VBRI header
    int32_t totalFrames = 0;     // from a Xing or VBRI header, else 0
    int32_t frameLength = 0;     // bytes of a frame carrying a VBR header; 0 for any other frame
    int32_t totalBytes = 0;      // from a Xing or VBRI header, else 0
    int32_t minFrameLength = 0;  // ordinary frame: its length without the padding slot
    int32_t maxFrameLength = 0;  // ordinary frame: its length with the padding slot
    int32_t outputBytesPerFrame = 0;
};

// One frame to decode: where it is, how much may be read, where its PCM goes.
struct FrameJob : FrameHeader {
    int32_t bitrate = 0;             // bit/s, set by DecodeFrame
    const uint8_t* input = nullptr;  // the frame's first byte (its header)
    int32_t inputLength = 0;         // in: bytes readable from `input`; out: the frame's length
    uint8_t* output = nullptr;       // where the frame's PCM goes
    int32_t outputLength = 0;        // in: room offered; out: bytes written
};

// The three options. Defaults: full rate, 16-bit, as many channels as the stream has, 24 kHz.
struct DecoderOptions {
    int32_t downSamplingShift = 0;  // 0 full rate, 1 half rate, 2 quarter rate
    int32_t outputFlags = 0;        // bits 0-1: channel option; bit 3: 8-bit output
    int32_t frequencyLimitHz = 24000;
};

// Channel options (bits 0-1 of the output flags).
inline constexpr int32_t kChannelsBoth = 0;
inline constexpr int32_t kChannelsMix = 1;
inline constexpr int32_t kChannelsLeft = 2;
inline constexpr int32_t kChannelsRight = 3;
inline constexpr int32_t kOutputFlag8Bit = 8;

// Longest frame any header can describe (Layer II at 384 kbit/s over an 8 kHz published rate).
inline constexpr int32_t kMaxFrameBytes = 6913;
// Bytes ParseFrameInfo wants from any frame, however short: room for a header, the longest
// side information and a whole Xing header.
inline constexpr int32_t kFrameInfoMinBytes = 156;

struct Decoder;
struct DecoderDeleter {
    void operator()(Decoder* decoder) const;
};
using DecoderPtr = std::unique_ptr<Decoder, DecoderDeleter>;

// The only allocation the decoder makes: its state object. Options start at their defaults.
DecoderPtr CreateDecoder();

// Resets the options to their defaults and makes sure the constant tables exist.
void InitDecoderTables(Decoder& decoder);

// Reads the four header bytes at `bytes` into `header` (every field, also on refusal). Refuses
// with kErrorNoSync when they do not start with a frame sync (0xFF, then 0xF or 0xE), and with
// kErrorInvalidHeader for a reserved rate, bit-rate index 0 or 15, or layer bits 0.
int32_t ParseHeader(Decoder& decoder, const uint8_t* bytes, FrameHeader& header);
// Reads the frame at `frame` (`available` bytes, at least kFrameInfoMinBytes) into `info`: its
// header, what the options make of it (output channels, bits, rate, bytes per frame) and a Xing or
// VBRI header's counts. With `publish` 1 it also publishes the frame's rate and output size for
// DecodeFrame. Refuses with kErrorTooFewBytes below kFrameInfoMinBytes, or as ParseHeader does, or
// with kErrorInvalidHeader for a Xing header without frame or byte counts.
int32_t ParseFrameInfo(Decoder& decoder, const uint8_t* frame, int32_t available, StreamInfo& info,
                       int32_t publish);
// Sets the decoder up for the stream `frame` starts: publishes its rate, clears the synthesis
// and the layer's state, chooses the layer's decoder and the synthesis of the decoder's path.
// Refuses as ParseFrameInfo does, and with kErrorUnsupported for options out of range or a
// stream its layer cannot decode.
int32_t SetUpStream(Decoder& decoder, const uint8_t* frame, int32_t available);
// Decodes the frame at job.input into job.output. Reads job.inputLength bytes at most (a copy
// is padded when the frame ends too near the end of the input); on success sets inputLength to
// the frame's length and outputLength to the bytes written (the stream's output size). Refuses
// with kErrorTooFewBytes when the frame or the output room is short, kErrorUnsupported before
// a stream is set up, and kErrorInvalidHeader for a frame of another layer (or another granule
// count); a frame the layer decoder cannot use still returns 1 and writes silence or nothing.
int32_t DecodeFrame(Decoder& decoder, FrameJob& job);

// Copies the decoder's options into `options` and returns it.
DecoderOptions& GetDecoderOptions(const Decoder& decoder, DecoderOptions& options);
// Takes new options: ParseFrameInfo reports by them at once, decoding follows them from the
// next SetUpStream (which refuses them when out of range).
int32_t SetDecoderOptions(Decoder& decoder, const DecoderOptions& options);
// Ten band gains in tenths of a decibel, or null to switch the equaliser off.
int32_t SetEqualizer(Decoder& decoder, const int32_t* bands);
// The reason for the last refusal (a DecoderErrorCode).
int32_t LastDecoderError(const Decoder& decoder);
// The first frame sync in bytes[0, length - 3) into `offset`; kErrorTooFewBytes when none.
int32_t FindSync(Decoder& decoder, const uint8_t* bytes, int32_t length, int32_t& offset);
// What the fields after `header` in the `length` bytes of the frame at `frame` say: values no
// encoder writes, no sound at all (every allocation or granule empty), or sound. For telling a
// stream found among other bytes from bytes that only look like frame headers. Reads nothing
// past `length`.
enum class FrameFields { kImplausible, kSilent, kSounding };
FrameFields ReadFrameFields(const uint8_t* frame, int32_t length, const FrameHeader& header);
// The silence an encoder added around the song, in samples per channel: before it (the
// encoder's delay) and after it (padding up to a whole frame).
struct EncoderGap {
    int32_t delay = 0;
    int32_t padding = 0;
};
// Reads the encoder's delay and padding from a LAME tag (written by LAME or FFmpeg after the
// Xing or Info header of a Layer III stream's first frame) in the `available` bytes at `frame`;
// false when there is none. Reads nothing past `available`.
bool ReadEncoderGap(const uint8_t* frame, int32_t available, const FrameHeader& header,
                    EncoderGap& gap);
// Whether a Layer III frame carries a Xing or Info header (an Info header, written for CBR
// streams, is not taken for a VBR header: its frame plays as silence unless left out).
bool HasXingOrInfoHeader(const uint8_t* frame, int32_t available, const FrameHeader& header);
// Makes DecodeFrame write nothing until a layer decoder is chosen again.
void DisableDecoding(Decoder& decoder);
// Chooses the decoder of `header`'s layer (emptying the Layer III reservoir) without setting
// the stream up again; a layer outside 1..3 changes nothing.
void SelectLayerDecoder(Decoder& decoder, const FrameHeader& header);

// The big-endian 32-bit number at `p`.
inline uint32_t ReadU32BE(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The instructions the decoder's inner loops run on. A path is taken at SetUpStream and kept
// for the stream; every path gives the same samples.
enum class SimdPath : int32_t {
    kGeneric = 0,  // plain C++: the reference, and the path of every other architecture
    kSse2 = 1,     // x86-64's baseline vectors
    kAvx2 = 2,     // x86-64 processors with AVX2
};
// Whether this build on this machine runs `path`.
bool SimdPathAvailable(SimdPath path);
// The path new decoders take, decided once per process: the one the environment variable
// ZIRVAK_DECODER_PATH names ("generic", "sse2" or "avx2") when this machine runs it, else the
// best this machine runs.
SimdPath DefaultSimdPath();
const char* SimdPathName(SimdPath path);
// The path of the decoder's next streams: 0 with kErrorUnsupported when unavailable.
int32_t SetSimdPath(Decoder& decoder, SimdPath path);
SimdPath GetSimdPath(const Decoder& decoder);

// Values published by the last ParseFrameInfo with publishing on, and by DecodeFrame.
int32_t PublishedSampleRate(const Decoder& decoder);
int32_t PublishedOutputBytesPerFrame(const Decoder& decoder);

}  // namespace mpeg
