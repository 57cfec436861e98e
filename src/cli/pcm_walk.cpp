#include "pcm_walk.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zirvak::cli {

namespace {

// Every frame takes one slot of the stream's size; a frame that produces no samples leaves its
// slot silent, so the output stays aligned on frames. The slots are those playback plays.
bool WalkMpeg(Input& in, const PcmSink& sink) {
    MpegFrameWalk& walk = *in.mpeg.walk;
    const mpeg::StreamInfo& info = walk.info();
    std::vector<uint8_t> frame(size_t(info.outputBytesPerFrame));
    const uint8_t silence = info.outputBits == 8 ? 0x80 : 0x00;
    const uint64_t slots = in.mpeg.playableSlots();
    for (uint64_t i = 0; i < slots && !walk.AtEnd(); ++i) {
        std::memset(frame.data(), silence, frame.size());
        walk.DecodeNext(frame.data());
        sink(frame.data(), frame.size());
    }
    return !walk.sourceCameShort();
}

// The samples as playback sends them to the sound card: 16-bit PCM, chunk by chunk.
bool WalkWav(Input& in, const PcmSink& sink) {
    const WavInfo& wav = in.wav;
    const uint32_t chunkFrames = kWavChunkBytes / (uint32_t(wav.channels) * 2);
    std::vector<uint8_t> pcm(kWavChunkBytes), raw(size_t(chunkFrames) * wav.frameBytes());
    for (uint64_t first = 0; first < wav.totalFrames(); first += chunkFrames) {
        const uint32_t frames =
            uint32_t(std::min<uint64_t>(chunkFrames, wav.totalFrames() - first));
        const uint32_t bytes = ReadWavPcm16(in.file, wav, first, frames, pcm.data(), raw.data());
        sink(pcm.data(), bytes);
        if (bytes < frames * uint32_t(wav.channels) * 2) return false;
    }
    return true;
}

// The samples as playback plays them, buffer by buffer from the run OpenInput started.
bool WalkSource(Input& in, const PcmSink& sink) {
    SourceBuffer buffer = in.run.first;
    for (uint32_t index = 0;; ++index) {
        if (index > 0) buffer = in.source->Fill(uint8_t(index % 2), index);
        sink(buffer.data, buffer.length);
        if (buffer.cameShort || index == in.run.lastBufferIndex) break;
    }
    return !in.source->fileChanged();
}

}  // namespace

PcmFormat PcmFormatOf(const Input& in) {
    if (in.isWave) return {int32_t(in.wav.sampleRateHz), in.wav.channels, 16};
    if (in.source) return {in.source->format().sampleRateHz, in.source->format().channels, 16};
    const mpeg::StreamInfo& info = in.mpeg.walk->info();
    return {info.sampleRate, info.outputChannels, info.outputBits};
}

bool WalkPcm(Input& in, const PcmSink& sink) {
    return in.isWave ? WalkWav(in, sink) : in.source ? WalkSource(in, sink) : WalkMpeg(in, sink);
}

}  // namespace zirvak::cli
