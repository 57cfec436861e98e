#include <cstring>
#include <vector>

#include "commands.h"
#include "input.h"
#include "output_file.h"
#include "pcm_file_writer.h"

namespace zirvak::cli {

namespace {

// Every frame takes one slot of the stream's size; a frame that produces no samples leaves its
// slot silent, so the output stays aligned on frames. The slots are those playback plays.
bool WriteMpeg(Input& in, PcmFileWriter& writer) {
    MpegFrameWalk& walk = *in.mpeg.walk;
    const mpeg::StreamInfo& info = walk.info();
    std::vector<uint8_t> frame(size_t(info.outputBytesPerFrame));
    const uint8_t silence = info.outputBits == 8 ? 0x80 : 0x00;
    const uint64_t slots = in.mpeg.playableSlots();
    for (uint64_t i = 0; i < slots && !walk.AtEnd(); ++i) {
        std::memset(frame.data(), silence, frame.size());
        walk.DecodeNext(frame.data());
        writer.Write(frame.data(), frame.size());
    }
    return !walk.sourceCameShort();
}

// The samples as playback sends them to the sound card: 16-bit PCM, chunk by chunk.
bool WriteWav(Input& in, PcmFileWriter& writer) {
    const WavInfo& wav = in.wav;
    const uint32_t chunkFrames = kWavChunkBytes / (uint32_t(wav.channels) * 2);
    std::vector<uint8_t> pcm(kWavChunkBytes), raw(size_t(chunkFrames) * wav.frameBytes());
    for (uint64_t first = 0; first < wav.totalFrames(); first += chunkFrames) {
        const uint32_t frames =
            uint32_t(std::min<uint64_t>(chunkFrames, wav.totalFrames() - first));
        const uint32_t bytes = ReadWavPcm16(in.file, wav, first, frames, pcm.data(), raw.data());
        writer.Write(pcm.data(), bytes);
        if (bytes < frames * uint32_t(wav.channels) * 2) return false;
    }
    return true;
}

// The samples as playback plays them, buffer by buffer from the run OpenInput started.
bool WriteSource(Input& in, PcmFileWriter& writer) {
    SourceBuffer buffer = in.run.first;
    for (uint32_t index = 0;; ++index) {
        if (index > 0) buffer = in.source->Fill(uint8_t(index % 2), index);
        writer.Write(buffer.data, buffer.length);
        if (buffer.cameShort || index == in.run.lastBufferIndex) break;
    }
    return !in.source->fileChanged();
}

}  // namespace

int RunDecode(const std::string& path, const std::string& outPath) {
    Input in;
    std::string error;
    if (!OpenInput(path, in, error)) return Fail(error);
    OutputFile out;
    if (!out.Prepare(outPath, path, error)) return Fail(error);

    int32_t rate = 0, channels = 0, bits = 16;
    if (in.isWave) {
        rate = int32_t(in.wav.sampleRateHz);
        channels = in.wav.channels;
    } else if (in.source) {
        rate = in.source->format().sampleRateHz;
        channels = in.source->format().channels;
    } else {
        const mpeg::StreamInfo& info = in.mpeg.walk->info();
        rate = info.sampleRate;
        channels = info.outputChannels;
        bits = info.outputBits;
    }
    PcmFileWriter writer;
    if (!writer.Open(out.writePath(), HasWavExtension(outPath), rate, channels, bits, &error))
        return Fail(Words(Say::kCannotWrite, outPath, error));
    const bool whole = in.isWave   ? WriteWav(in, writer)
                       : in.source ? WriteSource(in, writer)
                                   : WriteMpeg(in, writer);
    if (!writer.Close()) return Fail(Words(Say::kCannotWrite, outPath));
    if (!whole || in.file.Changed()) return Fail(DescribeFileProblem(path, FileProblem::kChanged));
    if (!out.Commit(error)) return Fail(error);
    return 0;
}

}  // namespace zirvak::cli
