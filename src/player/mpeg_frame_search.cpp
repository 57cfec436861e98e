#include "mpeg_frame_search.h"

#include <cstring>

namespace zirvak {

namespace {

// True when `view` (the bytes from a position to at least kFrameView on, or to the end of the
// audio) starts a stream: a frame that fits, followed by another header of its stream or by
// the end. With `stream`, only a frame of that stream counts.
bool StartsStream(mpeg::Decoder& decoder, std::span<const uint8_t> view, uint64_t at,
                  const mpeg::FrameHeader* stream, FirstSync& firstSync) {
    mpeg::StreamInfo info;
    const bool parsed = ParseFrame(decoder, view, info, 0);
    if (!firstSync.seen && (parsed || mpeg::LastDecoderError(decoder) != mpeg::kErrorNoSync)) {
        firstSync = {true, parsed, mpeg::LastDecoderError(decoder), at};
    }
    if (!parsed) return false;
    if (stream && !SameStream(info, *stream)) return false;
    const size_t length = size_t(std::max(LengthOf(info), 0));
    if (length == 0 || length > view.size()) return false;
    // A frame with nothing after it starts a stream only when it ends exactly at the end.
    if (view.size() - length < 4) return view.size() == length;
    return HeaderOfStream(decoder, view.data() + length, info);
}

}  // namespace

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
            if (StartsStream(decoder, view.subspan(i), pos + i, stream, firstSync)) return pos + i;
        }
        if (reachesEnd) return window.end();
        pos += usable;
        if (!sawSync) pos = std::max(pos, window.source().NextDataOffset(pos));
    }
}

}  // namespace zirvak
