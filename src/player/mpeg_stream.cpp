#include "mpeg_stream.h"

#include <algorithm>
#include <cstring>

#include "mpeg_frame_search.h"

namespace zirvak {

namespace {

uint32_t ReadU32LE(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The end of the audio before trailing tags: a 128-byte ID3v1 "TAG" block last, and an APE
// tag (its footer "APETAGEX", with or without a header) before it or last.
uint64_t EndBeforeTrailingTags(ByteSource& source, uint64_t start) {
    uint64_t end = source.size();
    uint8_t tag[32];
    if (end - start >= 128 && source.ReadAt(end - 128, tag, 3) == 3 &&
        std::memcmp(tag, "TAG", 3) == 0)
        end -= 128;
    if (end - start >= 32 && source.ReadAt(end - 32, tag, 32) == 32 &&
        std::memcmp(tag, "APETAGEX", 8) == 0) {
        uint64_t bytes = ReadU32LE(tag + 12);                // items and footer
        if (ReadU32LE(tag + 20) & 0x80000000u) bytes += 32;  // and a header
        if (bytes <= end - start) end -= bytes;
    }
    return end;
}

// A stream found after other bytes must go on for this many frames with sound, agreeing and
// whole. Any file holds pairs of bytes that read as frame headers, and now and then two of them
// lie one frame apart (a losslessly packed file's data did); programs hold tables and code that
// repeat a header-like pattern at a frame's length. Frames without sound (all fields empty, as
// a table of zeros reads) are walked over but prove nothing; the walk gives up after
// kMostFramesWalked.
constexpr int kSoundingFramesAfterOtherBytes = 8;
constexpr int kMostFramesWalked = 64;

// Whether two frames found after other bytes agree as an encoder's frames do. Tables in
// programs repeat a header-like pattern at a frame's length with the bits of its last byte
// counting up; an encoder writes the channel mode, copyright, original and emphasis bits once
// for the whole stream, and never the reserved emphasis.
bool AgreesAsEncoded(const mpeg::FrameHeader& frame, const mpeg::FrameHeader& stream) {
    constexpr int32_t kReservedEmphasis = 2;
    return SameStream(frame, stream) && frame.emphasis != kReservedEmphasis &&
           frame.mode == stream.mode && frame.copyrightFlag == stream.copyrightFlag &&
           frame.originalFlag == stream.originalFlag && frame.emphasis == stream.emphasis;
}

// True when the stream starting at `first` goes on, frame after whole frame of the stream whose
// fields read as encoded, for kSoundingFramesAfterOtherBytes frames with sound, or up to the
// exact end of the audio.
bool GoesOnForFrames(mpeg::Decoder& decoder, ByteWindow& window, uint64_t first) {
    mpeg::StreamInfo stream;
    if (!ParseFrame(decoder, window.At(first, kFrameView), stream, 0)) return false;
    uint64_t pos = first;
    mpeg::StreamInfo frame = stream;
    int sounding = 0;
    for (int n = 0; n < kMostFramesWalked; ++n) {
        if (n > 0 && !ParseFrame(decoder, window.At(pos, kFrameView), frame, 0)) return false;
        const int32_t length = LengthOf(frame);
        if (length <= 0 || !AgreesAsEncoded(frame, stream)) return false;
        const std::span<const uint8_t> bytes = window.At(pos, size_t(length));
        if (bytes.size() < size_t(length)) return n > 0;  // the audio ends within this frame
        // A frame carrying a VBR header holds no audio fields.
        if (frame.frameLength == 0) {
            const mpeg::FrameFields fields = mpeg::ReadFrameFields(bytes.data(), length, frame);
            if (fields == mpeg::FrameFields::kImplausible) return false;
            if (fields == mpeg::FrameFields::kSounding &&
                ++sounding == kSoundingFramesAfterOtherBytes)
                return true;
        }
        pos += uint64_t(length);
        if (pos == window.end()) return true;
    }
    return false;
}

// The first stream at or after `from`: one that starts right there, or one found further on
// that goes on for several frames.
uint64_t FindFirstStream(mpeg::Decoder& decoder, ByteWindow& window, uint64_t from,
                         FirstSync& firstSync) {
    for (uint64_t pos = from;;) {
        const uint64_t first = FindStreamStart(decoder, window, pos, nullptr, firstSync);
        if (first >= window.end() || first == from || GoesOnForFrames(decoder, window, first))
            return first;
        pos = first + 1;
    }
}

}  // namespace

// Why the decoder refused the stream: a stream of a kind it does not set up is audio all the same;
// anything else is not MPEG audio at all.
FileProblem RefusalOf(int32_t decoderError) {
    return decoderError == mpeg::kErrorUnsupported ? FileProblem::kUnsupported
                                                   : FileProblem::kNotPlayable;
}

FileProblem LocateMpegAudio(mpeg::Decoder& decoder, ByteSource& source, MpegAudioBounds& bounds,
                            int32_t* decoderError) {
    auto fail = [&](FileProblem problem, int32_t error) {
        if (decoderError) *decoderError = error;
        return problem;
    };
    const uint64_t size = source.size();
    uint64_t start = 0;
    uint8_t head[10];
    const bool tagged = source.ReadAt(0, head, 10) == 10 && std::memcmp(head, "ID3", 3) == 0;
    if (tagged) {
        // Sizes are read as the tag stores them, each byte whole.
        start = (uint64_t(head[6]) << 21) + (uint64_t(head[7]) << 14) + (uint64_t(head[8]) << 7) +
                uint64_t(head[9]) + 10;
    }
    FirstSync firstSync;
    if (start < size) {
        ByteWindow window(source, EndBeforeTrailingTags(source, start));
        const uint64_t first = FindFirstStream(decoder, window, start, firstSync);
        if (first < window.end()) {
            bounds = {start, window.end(), first};
            return FileProblem::kNone;
        }
    }
    if (tagged) {
        // A tag whose size runs past the end, or swallows every frame, has a damaged size: the
        // song is looked for from just after the tag's header rather than lost to it.
        ByteWindow window(source, EndBeforeTrailingTags(source, 10));
        FirstSync ignored;
        const uint64_t first = FindFirstStream(decoder, window, 10, ignored);
        if (first < window.end()) {
            bounds = {10, window.end(), first};
            return FileProblem::kNone;
        }
        if (start >= size) return fail(FileProblem::kNotPlayable, mpeg::kErrorTooFewBytes);
    }
    // A frame header where the audio starts, without a stream after it: no audio. Otherwise not
    // MPEG audio, for the reason its first frame sync was refused (or for having none): a
    // header somewhere among other bytes proves nothing.
    if (firstSync.valid && firstSync.at == start)
        return fail(FileProblem::kNoAudio, mpeg::kErrorNone);
    return fail(FileProblem::kNotPlayable, firstSync.valid ? mpeg::kErrorNoSync : firstSync.error);
}

MpegScan ScanMpegStream(mpeg::Decoder& decoder, ByteSource& source, const MpegAudioBounds& bounds) {
    MpegFrameWalk walk(decoder, source, bounds.firstFrame, bounds.audioEnd);
    MpegScan scan;
    if (!walk.Begin()) return scan;
    while (!walk.AtEnd()) walk.SkipNext();
    scan.slotCount = walk.slotsWalked();
    scan.audioEnd = walk.lastFrameEnd();
    scan.frames = walk.framesWalked();
    scan.frameBytes = walk.frameBytesWalked();
    scan.bitrateVaries = walk.bitrateVaried();
    scan.gaps = walk.gapsWalked();
    scan.gapBytes = walk.gapBytesWalked();
    scan.lostFrames = walk.lostFramesWalked();
    return scan;
}

bool MpegStream::hasVbrHeader() const {
    return walk && walk->info().frameLength != 0;
}

uint64_t MpegStream::playableSlots() const {
    if (!hasVbrHeader()) return scan.slotCount;
    return std::min<uint64_t>(scan.slotCount, uint64_t(uint32_t(walk->info().totalFrames)) + 1);
}

uint64_t MpegStream::audioFrames() const {
    const uint64_t slots = playableSlots();
    return hasVbrHeader() && slots > 0 ? slots - 1 : slots;
}

uint32_t MpegStream::samplesPerFrame() const {
    if (!walk) return 0;
    const mpeg::StreamInfo& info = walk->info();
    const int32_t sampleBytes = info.outputChannels * info.outputBits / 8;
    return sampleBytes > 0 ? uint32_t(info.outputBytesPerFrame / sampleBytes) : 0;
}

double MpegStream::frameMs() const {
    const int32_t rate = walk ? walk->info().sampleRate : 0;
    return rate > 0 ? double(samplesPerFrame()) * 1000.0 / rate : 0.0;
}

FileProblem OpenMpegStream(mpeg::Decoder& decoder, ByteSource& source, MpegStream& stream,
                           bool keepOptions) {
    if (source.size() == 0) return FileProblem::kEmpty;
    int32_t error = 0;
    const FileProblem located = LocateMpegAudio(decoder, source, stream.bounds, &error);
    if (located == FileProblem::kNotPlayable) return RefusalOf(error);
    if (located != FileProblem::kNone) return located;
    stream.scan = ScanMpegStream(decoder, source, stream.bounds);
    {
        ByteWindow window(source, stream.scan.audioEnd);
        const std::span<const uint8_t> first = window.At(stream.bounds.firstFrame, kFrameView);
        mpeg::FrameHeader header;
        mpeg::EncoderGap gap;
        if (first.size() >= 4 && mpeg::ParseHeader(decoder, first.data(), header)) {
            const auto available = int32_t(first.size());
            stream.tagFrame = mpeg::HasXingOrInfoHeader(first.data(), available, header);
            if (mpeg::ReadEncoderGap(first.data(), available, header, gap)) stream.encoderGap = gap;
        }
    }
    if (!stream.encoderGap && stream.bounds.audioStart > 0)
        stream.itunesGap = ReadITunesGap(source, stream.bounds.audioStart);
    stream.walk.emplace(decoder, source, stream.bounds.firstFrame, stream.scan.audioEnd);
    if (!stream.walk->SetUp(keepOptions)) return RefusalOf(mpeg::LastDecoderError(decoder));
    if (stream.audioFrames() == 0) return FileProblem::kNoAudio;
    return FileProblem::kNone;
}

}  // namespace zirvak
