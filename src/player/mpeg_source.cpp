#include "mpeg_source.h"

#include <algorithm>
#include <cstring>

namespace zirvak {

namespace {

// The frame parser wants this many bytes whatever the frame's length.
constexpr size_t kParseBytes = size_t(mpeg::kFrameInfoMinBytes);
// Bytes looked at from a frame: the longest frame, the next frame's header, and the room the
// decoder reads ahead, so frames decode straight from the window.
constexpr size_t kFrameView = size_t(mpeg::kMaxFrameBytes) + 4 + 512;

int32_t LengthOf(const mpeg::StreamInfo& info) {
    if (info.frameLength != 0) return info.frameLength;
    return info.padding ? info.maxFrameLength : info.minFrameLength;
}

int32_t ClampToInt(size_t n) {
    return n > size_t(INT32_MAX) ? INT32_MAX : int32_t(n);
}

// A frame's bytes as the decoder's parser wants them: kParseBytes at least, whatever the frame's
// length, so a short tail is offered as a zero-padded copy.
class ParseView {
public:
    explicit ParseView(std::span<const uint8_t> bytes)
        : data_(bytes.data()), size_(ClampToInt(bytes.size())) {
        if (bytes.size() < kParseBytes) {
            std::memset(padded_, 0, kParseBytes);
            std::memcpy(padded_, bytes.data(), bytes.size());
            data_ = padded_;
            size_ = int32_t(kParseBytes);
        }
    }
    const uint8_t* data() const { return data_; }
    int32_t size() const { return size_; }

private:
    const uint8_t* data_;
    int32_t size_;
    uint8_t padded_[kParseBytes];
};

// Parses the frame at the start of `bytes`.
bool ParseFrame(mpeg::Decoder& decoder, std::span<const uint8_t> bytes, mpeg::StreamInfo& info,
                int32_t publish) {
    if (bytes.size() < 4) return false;
    const ParseView view(bytes);
    return mpeg::ParseFrameInfo(decoder, view.data(), view.size(), info, publish) == 1;
}

// What makes frames one stream: the same version, layer, sample rate and channel count.
bool SameStream(const mpeg::FrameHeader& a, const mpeg::FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.sampleRateIndex == b.sampleRateIndex &&
           (a.mode == mpeg::kModeSingleChannel) == (b.mode == mpeg::kModeSingleChannel);
}

bool HeaderOfStream(mpeg::Decoder& decoder, const uint8_t* bytes, const mpeg::FrameHeader& stream) {
    mpeg::FrameHeader next;
    return mpeg::ParseHeader(decoder, bytes, next) == 1 && SameStream(next, stream);
}

// What a search met before it found a stream: the first frame sync, and whether the decoder took
// its header (a free-format stream's headers are refused, and say so).
struct FirstSync {
    bool seen = false;
    bool valid = false;
    int32_t error = mpeg::kErrorNoSync;
};

// True when `view` (the bytes from a position to at least kFrameView on, or to the end of the
// audio) starts a stream: a frame that fits, followed by another header of its stream or by
// the end. With `stream`, only a frame of that stream counts.
bool StartsStream(mpeg::Decoder& decoder, std::span<const uint8_t> view,
                  const mpeg::FrameHeader* stream, FirstSync& firstSync) {
    mpeg::StreamInfo info;
    const bool parsed = ParseFrame(decoder, view, info, 0);
    if (!firstSync.seen && (parsed || mpeg::LastDecoderError(decoder) != mpeg::kErrorNoSync)) {
        firstSync = {true, parsed, mpeg::LastDecoderError(decoder)};
    }
    if (!parsed) return false;
    if (stream && !SameStream(info, *stream)) return false;
    const size_t length = size_t(std::max(LengthOf(info), 0));
    if (length == 0 || length > view.size()) return false;
    // A frame with nothing after it starts a stream only when it ends exactly at the end.
    if (view.size() - length < 4) return view.size() == length;
    return HeaderOfStream(decoder, view.data() + length, info);
}

// The first position at or after `from` that starts a stream (of `stream`, when given), or the
// window's end when there is none. Runs of bytes without a single 0xFF are passed over whole,
// and holes of a sparse file are not read at all.
uint64_t FindStreamStart(mpeg::Decoder& decoder, ByteWindow& window, uint64_t from,
                         const mpeg::FrameHeader* stream, FirstSync& firstSync) {
    uint64_t pos = from;
    for (;;) {
        const std::span<const uint8_t> view = window.At(pos, kFrameView);
        if (view.size() < 4) return window.end();
        const bool reachesEnd = pos + view.size() >= window.end();
        // Positions whose frame view lies wholly inside this one.
        const size_t usable = reachesEnd ? view.size() : view.size() - kFrameView + 1;
        bool sawSync = false;
        for (size_t i = 0; i < usable; ++i) {
            const void* hit = std::memchr(view.data() + i, 0xFF, usable - i);
            if (hit == nullptr) break;
            i = size_t(static_cast<const uint8_t*>(hit) - view.data());
            sawSync = true;
            if (StartsStream(decoder, view.subspan(i), stream, firstSync)) return pos + i;
        }
        if (reachesEnd) return window.end();
        pos += usable;
        if (!sawSync) pos = std::max(pos, window.source().NextDataOffset(pos));
    }
}

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
        const uint64_t first = FindStreamStart(decoder, window, start, nullptr, firstSync);
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
        const uint64_t first = FindStreamStart(decoder, window, 10, nullptr, ignored);
        if (first < window.end()) {
            bounds = {10, window.end(), first};
            return FileProblem::kNone;
        }
        if (start >= size) return fail(FileProblem::kNotPlayable, mpeg::kErrorTooFewBytes);
    }
    // MPEG audio headers without a frame of a stream: no audio. Otherwise not MPEG audio, for the
    // reason its first frame sync was refused (or for having none).
    return firstSync.valid ? fail(FileProblem::kNoAudio, mpeg::kErrorNone)
                           : fail(FileProblem::kNotPlayable, firstSync.error);
}

MpegFrameWalk::MpegFrameWalk(mpeg::Decoder& decoder, ByteSource& source, uint64_t begin,
                             uint64_t end)
    : decoder_(decoder), window_(source, end), begin_(begin), cursor_(begin) {}

bool MpegFrameWalk::Begin() {
    cursor_ = begin_;
    next_ = {};
    lostPending_ = 0;
    resetReservoir_ = false;
    slots_ = frames_ = frameBytes_ = gaps_ = gapBytes_ = 0;
    lastFrameEnd_ = begin_;
    lowestBitrate_ = highestBitrate_ = 0;
    first_ = {};
    frameLengths_ = {};
    const std::span<const uint8_t> view = window_.At(begin_, kFrameView);
    if (!ParseFrame(decoder_, view, first_, 0)) return false;
    // The lengths a frame of this stream can have, at each bit rate, without and with padding.
    uint8_t header[kParseBytes] = {};
    std::memcpy(header, view.data(), 4);
    for (size_t i = 0; i < frameLengths_.size(); ++i) {
        header[2] = uint8_t((header[2] & 0x0F) | ((i + 1) << 4));
        mpeg::StreamInfo info;
        if (ParseFrame(decoder_, header, info, 0))
            frameLengths_[i] = {uint32_t(info.minFrameLength), uint32_t(info.maxFrameLength)};
    }
    return true;
}

bool MpegFrameWalk::SetUp(bool keepOptions) {
    mpeg::DecoderOptions options;
    mpeg::GetDecoderOptions(decoder_, options);
    mpeg::InitDecoderTables(decoder_);
    if (keepOptions) mpeg::SetDecoderOptions(decoder_, options);
    if (!Begin()) return false;
    const ParseView view(window_.At(begin_, kFrameView));
    if (!mpeg::ParseFrameInfo(decoder_, view.data(), view.size(), first_, 1)) return false;
    return mpeg::SetUpStream(decoder_, view.data(), view.size()) == 1;
}

// The frames whose place `gap` bytes between two good frames take. One when they are exactly one
// frame of the stream at some bit rate: a frame whose header was destroyed. n when a stream of
// constant bit rate lost n whole frames there (a run of zeros), up to kMostLostFrames. None for
// junk that was inserted, or for runs too long to be worth keeping the time of.
uint32_t MpegFrameWalk::LostFramesIn(uint64_t gap) const {
    if (gap == 0) return 0;
    for (const auto& [shortest, longest] : frameLengths_)
        if (gap == shortest || gap == longest) return 1;
    if (frames_ == 0 || lowestBitrate_ != highestBitrate_ || lowestBitrate_ < 1) return 0;
    const auto& [shortest, longest] = frameLengths_[size_t(lowestBitrate_ - 1)];
    const uint64_t n = shortest ? gap / shortest : 0;
    return n >= 2 && n <= kMostLostFrames && gap <= n * longest ? uint32_t(n) : 0;
}

// Works out the next slot, once: the frame at the cursor when the next header follows it as
// it should; otherwise where the stream goes on, and what was lost on the way.
void MpegFrameWalk::Prepare() {
    if (next_.kind != Kind::kUnknown) return;
    if (lostPending_ > 0) {
        next_.kind = Kind::kLost;
        return;
    }
    for (;;) {
        if (cursor_ >= window_.end()) {
            next_.kind = Kind::kEnd;
            return;
        }
        const std::span<const uint8_t> view = window_.At(cursor_, kFrameView);
        mpeg::StreamInfo info;
        const bool isFrame =
            ParseFrame(decoder_, view, info, 0) && SameStream(info, first_) && LengthOf(info) > 0;
        const size_t length = isFrame ? size_t(LengthOf(info)) : 0;
        Slot frame{Kind::kFrame, cursor_, int32_t(length), info.bitrateIndex, cursor_ + length};
        // A frame that reaches the end of the audio is its last, even when cut short; but not
        // one cut short by the file shrinking under us.
        if (isFrame && view.size() < length && window_.cameShort()) {
            next_.kind = Kind::kEnd;
            return;
        }
        if (isFrame &&
            (view.size() < length + 4 || HeaderOfStream(decoder_, view.data() + length, first_))) {
            next_ = frame;
            return;
        }
        // Damage. Find where the stream goes on.
        FirstSync ignored;
        const uint64_t resume = FindStreamStart(decoder_, window_, cursor_ + 1, &first_, ignored);
        const bool resumes = resume < window_.end();
        if (isFrame && resume >= cursor_ + length) {
            // The frame is whole; after it lie junk or lost frames, which keep their place as
            // silence.
            // Junk up to the end of the audio (zeros after the last frame) is no gap.
            frame.resumeAt = resume;
            frame.skipsBytes = resume > cursor_ + length;
            frame.gapBytes = resumes ? resume - (cursor_ + length) : 0;
            frame.lostAfter = LostFramesIn(frame.gapBytes);
            next_ = frame;
            return;
        }
        // The frame runs into the next good one (bytes were lost inside it), or there is no
        // frame here at all. Main data before the gap is no use to the frames after it.
        const uint64_t gap = resume - cursor_;
        cursor_ = resume;
        resetReservoir_ = true;
        if (resumes) {
            ++gaps_;
            gapBytes_ += gap;
            lostPending_ = isFrame ? 1 : LostFramesIn(gap);
        }
        if (lostPending_ > 0) {
            next_.kind = Kind::kLost;
            return;
        }
    }
}

void MpegFrameWalk::Consume() {
    switch (next_.kind) {
        case Kind::kFrame:
            cursor_ = next_.resumeAt;
            lastFrameEnd_ = std::min(next_.offset + uint64_t(next_.length), window_.end());
            lostPending_ += next_.lostAfter;
            if (next_.skipsBytes) resetReservoir_ = true;
            if (next_.gapBytes > 0) {
                ++gaps_;
                gapBytes_ += next_.gapBytes;
            }
            if (frames_ == 0 || next_.bitrateIndex < lowestBitrate_)
                lowestBitrate_ = next_.bitrateIndex;
            if (frames_ == 0 || next_.bitrateIndex > highestBitrate_)
                highestBitrate_ = next_.bitrateIndex;
            ++frames_;
            frameBytes_ += uint64_t(next_.length);
            ++slots_;
            break;
        case Kind::kLost:
            if (lostPending_ > 0) --lostPending_;
            ++slots_;
            break;
        default:
            break;
    }
    next_ = {};
}

bool MpegFrameWalk::AtEnd() {
    Prepare();
    return next_.kind == Kind::kEnd;
}

bool MpegFrameWalk::DecodeNext(uint8_t* out) {
    Prepare();
    bool decoded = false;
    if (next_.kind == Kind::kFrame) {
        if (resetReservoir_) {
            // Frames after a gap must not borrow main data from before it.
            mpeg::SelectLayerDecoder(decoder_, first_);
            resetReservoir_ = false;
        }
        const std::span<const uint8_t> view = window_.At(next_.offset, kFrameView);
        ParseFrame(decoder_, view, info_, 1);
        mpeg::FrameJob job;
        static_cast<mpeg::FrameHeader&>(job) = info_;
        job.bitrate = info_.bitrate;
        job.input = view.data();
        job.inputLength = ClampToInt(view.size());
        job.output = out;
        job.outputLength = first_.outputBytesPerFrame;
        decoded = mpeg::DecodeFrame(decoder_, job) == 1;
    }
    Consume();
    return decoded;
}

void MpegFrameWalk::SkipNext() {
    Prepare();
    Consume();
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
    stream.walk.emplace(decoder, source, stream.bounds.firstFrame, stream.scan.audioEnd);
    if (!stream.walk->SetUp(keepOptions)) return RefusalOf(mpeg::LastDecoderError(decoder));
    if (stream.audioFrames() == 0) return FileProblem::kNoAudio;
    return FileProblem::kNone;
}

}  // namespace zirvak
