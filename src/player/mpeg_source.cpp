#include "mpeg_source.h"

#include <cstring>

#include "format_table.h"
#include "gapless_mpeg_source.h"
#include "mpeg_info.h"
#include "zeroed_bytes.h"

namespace zirvak {

RunStart MpegSource::Start(std::optional<uint32_t> seekMs) {
    watch_.Restart();
    RunStart run;
    if (!decoder_) {
        decoder_ = mpeg::CreateDecoder();
        if (!decoder_) {
            run.noBufferMemory = true;
            return run;
        }
        run.problem = openProblem_ = OpenMpegStream(*decoder_, file_, stream_);
    } else if (openProblem_ != FileProblem::kNone) {
        // The stream was never set up (its walk may not even be there): refused again.
        run.problem = openProblem_;
    } else if (!stream_.walk->SetUp()) {
        run.problem = FileProblem::kNotPlayable;
    }
    if (run.problem != FileProblem::kNone) return run;
    MpegFrameWalk& walk = *stream_.walk;
    // Everything about the stream comes from the decoder's reading of the first frame.
    const mpeg::StreamInfo& info = walk.info();
    format_ = {info.sampleRate, info.outputChannels};
    pcm_ = {uint32_t(info.sampleRate), info.outputChannels, uint32_t(info.outputBytesPerFrame)};

    buffers_ = {};
    bufferBytes_ = kFramesPerBuffer * pcm_.frameBytes;
    buffers_[0] = AllocateZeroed(bufferBytes_);
    buffers_[1] = AllocateZeroed(bufferBytes_);
    if (!buffers_[0] || !buffers_[1]) {
        run.noBufferMemory = true;
        return run;
    }

    ClipInput in;
    in.slotCount = stream_.playableSlots();
    in.audioFrames = stream_.audioFrames();
    in.frameMs = float(stream_.frameMs());
    in.startMs = seekMs ? *seekMs : clipStartMs_;
    in.endMs = clipEndMs_;
    clip_ = PlanClip(in);

    // Position at the start frame; the frames before it prime the decoder.
    uint8_t* buffer = buffers_[0].get();
    uint32_t priming = clip_.startFrame;
    if (priming > kPrimingFrames) {
        for (uint32_t i = 0; i < clip_.startFrame - kPrimingFrames; ++i) walk.SkipNext();
        priming = kPrimingFrames;
    }
    DecodeFrames(buffer, priming);
    const uint32_t decoded = DecodeFrames(buffer, clip_.framesPerBuffer);
    // A file that ends early (it shrank since it was scanned) plays what there is.
    const bool cameShort = decoded < clip_.framesPerBuffer;
    lastBufferIndex_ = cameShort ? 0 : clip_.lastBufferIndex;

    // The clip may begin inside a frame: start the first buffer there, on a sample frame.
    const uint32_t blockAlign = uint32_t(pcm_.channels) * 2;
    const uint32_t decodedBytes = decoded * pcm_.frameBytes;
    const uint32_t offset = StartOffset(clip_, pcm_, decodedBytes);
    const uint64_t framesBefore = BufferStreamByte(clip_, pcm_, 0);
    uint32_t length = decodedBytes - offset;
    // A clip of one buffer ends where the clip ends, as any last buffer does.
    if (lastBufferIndex_ == 0 && !clip_.toStreamEnd)
        length = BytesToClipEnd(clip_, pcm_, framesBefore + offset, length);
    run.first = {buffer + offset, length, cameShort};
    run.lastBufferIndex = lastBufferIndex_;
    // After a seek the beats are timed from the song's start.
    if (seekMs) run.startFrame = (framesBefore + offset) / blockAlign;
    return run;
}

SourceBuffer MpegSource::Fill(uint8_t buffer, uint32_t index) {
    const bool last = index == lastBufferIndex_;
    uint8_t* out = buffers_[buffer].get();
    uint32_t frames = clip_.framesPerBuffer;
    if (last) {
        // The last buffer: the frames that remain, and the bytes up to the end of the clip.
        std::memset(out, 0, bufferBytes_);
        frames = FramesInLastBuffer(clip_, index);
    }
    const uint32_t decoded = watch_.Changed() ? 0 : DecodeFrames(out, frames);
    uint32_t length = decoded * pcm_.frameBytes;
    // The stream ended early (the file shrank or changed).
    if (decoded < frames) return {out, length, true};
    if (last && !clip_.toStreamEnd)
        length = BytesToClipEnd(clip_, pcm_, BufferStreamByte(clip_, pcm_, index), length);
    return {out, length, false};
}

// Decodes up to `count` slots into `buffer`, and returns how many the stream still had. A slot
// that yields no sound (a refused frame, a frame lost to damage, or one whose bit reservoir is
// not complete yet) is silent.
uint32_t MpegSource::DecodeFrames(uint8_t* buffer, uint32_t count) {
    MpegFrameWalk& walk = *stream_.walk;
    uint32_t j = 0;
    for (; j < count && !watch_.seen() && !walk.AtEnd(); ++j) {
        uint8_t* slot = buffer + size_t(j) * pcm_.frameBytes;
        std::memset(slot, 0, pcm_.frameBytes);
        walk.DecodeNext(slot);
    }
    if (walk.sourceCameShort()) watch_.ReadCameShort();
    return j;
}

namespace {

std::vector<InfoLine> DescribeMpeg(const AudioSource& source, uint64_t) {
    if (const auto* gapless = dynamic_cast<const GaplessMpegSource*>(&source))
        return DescribeMpegStream(gapless->stream());
    return DescribeMpegStream(static_cast<const MpegSource&>(source).stream());
}

}  // namespace

// A file no other format recognises: its frames may start anywhere, and its source finds them.
extern constinit const FileFormat kMpegFormat = {
    .names = {"MP3", "MP2", "MP1"},
    .recognises = nullptr,
    .makeSource = [](InputFile& file, const SourceOptions& o) -> std::unique_ptr<AudioSource> {
        if (o.gapless && o.clipStartMs == 0)
            return std::make_unique<GaplessMpegSource>(file, o.clipEndMs);
        return std::make_unique<MpegSource>(file, o.clipStartMs, o.clipEndMs);
    },
    .extensions = {"mp1", "mp2", "mp3"},
    .mimeTypes = {"audio/mpeg", "audio/x-mp3", "audio/mp2", "audio/x-mp2"},
    .tags = TagLayout::kId3AndApe,
    .describe = DescribeMpeg,
};

}  // namespace zirvak
