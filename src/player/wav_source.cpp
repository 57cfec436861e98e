#include "wav_source.h"

#include <algorithm>

#include "format_table.h"
#include "zeroed_bytes.h"

namespace zirvak {

RunStart WavSource::Start(std::optional<uint32_t> seekMs) {
    watch_.Restart();
    RunStart run;
    if (!buffers_[0]) {
        const FileProblem problem = ReadWavHeader(file_, wav_, &run.detail);
        if (problem != FileProblem::kNone) {
            run.problem = problem;
            return run;
        }
        format_ = {int32_t(wav_.sampleRateHz), wav_.channels};
        buffers_[0] = AllocateZeroed(kWavChunkBytes);
        buffers_[1] = AllocateZeroed(kWavChunkBytes);
        const bool converts = wav_.format != WavSampleFormat::kPcm16;
        if (converts) scratch_ = AllocateZeroed(kWavChunkBytes / 2 * size_t(wav_.bytesPerSample));
        if (!buffers_[0] || !buffers_[1] || (converts && !scratch_)) {
            // None kept: the next start reads the header and asks for all of them again.
            buffers_ = {};
            scratch_.reset();
            run.noBufferMemory = true;
            return run;
        }
    }
    const uint32_t pcmFrameBytes = uint32_t(format_.channels) * 2;
    startFrame_ = 0;
    if (seekMs) {
        const uint64_t frame = uint64_t(*seekMs) * wav_.sampleRateHz / 1000;
        startFrame_ = std::min<uint64_t>(frame, wav_.totalFrames());
    }
    audioBytes_ = wav_.pcm16Bytes() - startFrame_ * pcmFrameBytes;
    lastBufferIndex_ = uint32_t(audioBytes_ / kWavChunkBytes);
    const uint32_t length = lastBufferIndex_ == 0 ? uint32_t(audioBytes_) : kWavChunkBytes;
    const uint32_t got = FillChunk(0, 0, length);
    if (got < length) lastBufferIndex_ = 0;
    run.first = {buffers_[0].get(), got, got < length};
    run.lastBufferIndex = lastBufferIndex_;
    run.startFrame = startFrame_;
    return run;
}

SourceBuffer WavSource::Fill(uint8_t buffer, uint32_t index) {
    const uint32_t length = index == lastBufferIndex_
                                ? uint32_t(audioBytes_ - uint64_t(index) * kWavChunkBytes)
                                : kWavChunkBytes;
    const uint32_t got = FillChunk(buffer, index, length);
    return {buffers_[buffer].get(), got, got < length};
}

// Reads chunk `chunk` (`length` bytes of 16-bit PCM) into output buffer `buffer`. Returns the
// bytes read: fewer when the file ended or changed.
uint32_t WavSource::FillChunk(uint8_t buffer, uint32_t chunk, uint32_t length) {
    uint8_t* out = buffers_[buffer].get();
    const uint32_t pcmFrameBytes = uint32_t(format_.channels) * 2;
    uint32_t got = 0;
    if (!watch_.Changed()) {
        const uint64_t firstFrame = startFrame_ + uint64_t(chunk) * kWavChunkBytes / pcmFrameBytes;
        got = ReadWavPcm16(file_, wav_, firstFrame, length / pcmFrameBytes, out, scratch_.get());
        if (got < length - length % pcmFrameBytes) watch_.ReadCameShort();
    }
    return got;
}

uint32_t WavSource::lengthMs() const {
    const uint64_t frames = wav_.totalFrames();
    const auto rate = uint32_t(format_.sampleRateHz);
    return rate ? uint32_t(frames * 1000 / rate) : 0;
}

namespace {

const char* SampleFormatName(WavSampleFormat format) {
    switch (format) {
        case WavSampleFormat::kPcm8:
            return "8-bit PCM";
        case WavSampleFormat::kPcm24:
            return "24-bit PCM";
        case WavSampleFormat::kPcm32:
            return "32-bit PCM";
        case WavSampleFormat::kFloat32:
            return "32-bit float";
        default:
            return "16-bit PCM";
    }
}

std::vector<InfoLine> DescribeWav(const AudioSource& source, uint64_t) {
    const WavInfo& wav = static_cast<const WavSource&>(source).wav();
    return {{"format", std::string("WAV, ") + SampleFormatName(wav.format)},
            {"sample rate", std::to_string(wav.sampleRateHz) + " Hz"},
            {"channels", std::to_string(wav.channels)},
            {"frames", std::to_string(wav.totalFrames())},
            {"duration", DurationText(double(wav.totalFrames()) / wav.sampleRateHz)}};
}

}  // namespace

extern constinit const FileFormat kWavFormat = {
    .names = {"WAV"},
    .recognises = LooksLikeWav,
    .makeSource = [](InputFile& file, const SourceOptions&) -> std::unique_ptr<AudioSource> {
        return std::make_unique<WavSource>(file);
    },
    .extensions = {"wav"},
    .mimeTypes = {"audio/x-wav", "audio/wav", "audio/vnd.wave"},
    .tags = TagLayout::kRiffInfo,
    .describe = DescribeWav,
};

}  // namespace zirvak
