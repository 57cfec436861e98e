#include "ogg_source.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "format_table.h"
#include "pcm_reduce.h"
#include "refusing_source.h"
#include "stream_marker.h"
#include "zeroed_bytes.h"

namespace zirvak {

size_t OggSource::ReadBytes(uint8_t* out, size_t length) {
    const uint64_t size = file_.size() > streamStart_ ? file_.size() - streamStart_ : 0;
    if (watch_.seen() || readAt_ >= size || length == 0) return 0;
    const auto want = size_t(std::min<uint64_t>(length, size - readAt_));
    const size_t got = file_.ReadAt(streamStart_ + readAt_, out, want);
    if (got < want) watch_.ReadCameShort();  // the file shrank
    readAt_ += got;
    return got;
}

bool OggSource::SeekBytes(int64_t offset, int whence) {
    const auto size = int64_t(file_.size() > streamStart_ ? file_.size() - streamStart_ : 0);
    int64_t base = 0;
    if (whence == SEEK_CUR) base = int64_t(readAt_);
    if (whence == SEEK_END) base = size;
    if (offset < -base || base + offset > size) return false;
    readAt_ = uint64_t(base + offset);
    return true;
}

void OggSource::SetStreamFormat(int32_t rate, int32_t channels, uint64_t totalFrames) {
    fileChannels_ = channels;
    totalFrames_ = totalFrames;
    format_ = {rate, OutputChannels(channels)};
}

RunStart OggSource::Start(std::optional<uint32_t> seekMs) {
    watch_.Restart();
    RunStart run;
    if (!buffers_.allocated() || reopen_) {
        reopen_ = false;
        buffers_.Release();
        CloseStream();
        streamStart_ = MarkerAfterTags(file_, "OggS").value_or(0);
        readAt_ = 0;
        noMemory_ = false;
        run.problem = OpenStream(&run.detail);
        if (run.problem != FileProblem::kNone) return run;
        if (noMemory_ || !buffers_.Allocate(uint32_t(format_.channels) * 2)) {
            // Nothing kept: the next start opens the stream and asks for all of it again.
            CloseStream();
            buffers_.Release();
            run.noBufferMemory = true;
            return run;
        }
    }
    startFrame_ = RunStartFrame(seekMs, format_.sampleRateHz, totalFrames_);
    nextFrame_ = startFrame_;
    silenceDue_ = 0;
    ended_ = false;
    positionOffset_ = 0;
    holeSince_ = false;
    // opusfile cannot seek back in some damaged streams once it has read them to their end,
    // though it could when they were new: a seek that fails is tried again on the stream
    // opened afresh. One that fails there too (damage where it lands) plays nothing.
    bool placed = startFrame_ >= totalFrames_ || SeekStream(startFrame_);
    if (!placed && ReopenStream()) {
        startFrame_ = nextFrame_ = std::min(startFrame_, totalFrames_);
        placed = startFrame_ == totalFrames_ || SeekStream(startFrame_);
    }
    buffers_.BeginRun(run, startFrame_, placed ? totalFrames_ - startFrame_ : 0,
                      [this](int16_t* out, uint32_t frames) { return Produce(out, frames); });
    return run;
}

// Opens the stream again from its start. The format must stay what the buffers were made for;
// where it does not, or the stream will not open, it stays closed and the next Start opens it.
bool OggSource::ReopenStream() {
    const AudioFormat format = format_;
    const int32_t fileChannels = fileChannels_;
    const uint64_t totalFrames = totalFrames_;
    CloseStream();
    readAt_ = 0;
    noMemory_ = false;
    std::string detail;
    if (OpenStream(&detail) == FileProblem::kNone && !noMemory_ &&
        format_.sampleRateHz == format.sampleRateHz && format_.channels == format.channels)
        return true;
    CloseStream();
    SetStreamFormat(format.sampleRateHz, fileChannels, totalFrames);
    reopen_ = true;
    return false;
}

SourceBuffer OggSource::Fill(uint8_t buffer, uint32_t index) {
    return buffers_.Fill(buffer, index,
                         [this](int16_t* out, uint32_t frames) { return Produce(out, frames); });
}

// Writes up to `frames` sample frames of the run to `out`; returns how many: fewer when the
// stream ended (or the file changed) first.
uint32_t OggSource::Produce(int16_t* out, uint32_t frames) {
    const auto channels = size_t(format_.channels);
    if (watch_.Changed()) return 0;
    uint32_t got = 0;
    // Each read gives something, a jump in position or the end; a library that keeps giving
    // none of these has nothing left to give.
    int idle = 0;
    while (got < frames && !watch_.seen() && idle < 4096) {
        if (silenceDue_ > 0) {
            const auto n = uint32_t(std::min<uint64_t>(silenceDue_, frames - got));
            std::memset(out + got * channels, 0, n * channels * 2);
            silenceDue_ -= n;
            nextFrame_ += n;
            got += n;
            continue;
        }
        if (ended_) break;
        const int64_t at = Position();
        const int64_t expected = int64_t(nextFrame_) + positionOffset_;
        if (at >= 0 && at != expected) {
            if (holeSince_ && at > expected) {
                const uint64_t lost = std::min(uint64_t(at - expected), totalFrames_ - nextFrame_);
                framesLost_ += lost;
                silenceDue_ += lost;
                positionOffset_ = at - int64_t(nextFrame_ + lost);
            } else {
                positionOffset_ = at - int64_t(nextFrame_);
            }
            holeSince_ = false;
            continue;
        }
        const Decoded d = ReadStream(out + got * channels, frames - got, nextFrame_);
        if (d.hole) {
            ++decodeErrors_;
            holeSince_ = true;
        }
        if (d.end) {
            // The stream ended before its last granule position (a page lost at its end, or
            // the library lost its way after damage): silence keeps the length it gave.
            ended_ = true;
            if (!watch_.seen() && !d.otherShape && nextFrame_ < totalFrames_) {
                framesLost_ += totalFrames_ - nextFrame_;
                silenceDue_ = totalFrames_ - nextFrame_;
            }
            continue;
        }
        idle = d.frames == 0 ? idle + 1 : 0;
        nextFrame_ += d.frames;
        got += d.frames;
    }
    return got;
}

uint32_t OggSource::lengthMs() const {
    const auto rate = uint64_t(format_.sampleRateHz);
    return rate ? uint32_t(totalFrames_ * 1000 / rate) : 0;
}

std::vector<InfoLine> DescribeOggStream(const OggSource& source, const char* codec,
                                        uint64_t fileBytes) {
    return DecodedStreamLines(std::string("Ogg ") + codec, source.format().sampleRateHz,
                              source.fileChannels(), source.totalFrames(), fileBytes);
}

// Other Ogg streams (Speex, video...) are refused as such, never taken for MPEG audio: their
// entry has no name, extension or MIME type, so nothing offers them.
extern constinit const FileFormat kOtherOggFormat = {
    .names = {},
    .recognises = [](ByteSource& source) { return OggStreamStartsWith(source, ""); },
    .makeSource = [](InputFile&, const SourceOptions&) -> std::unique_ptr<AudioSource> {
        return std::make_unique<RefusingSource>("an Ogg stream of neither Vorbis nor Opus");
    },
    .extensions = {},
    .mimeTypes = {},
    .tags = TagLayout::kNone,
    .describe = nullptr,
};

}  // namespace zirvak
