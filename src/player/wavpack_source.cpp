#include "wavpack_source.h"

#include <stdio.h>  // SEEK_SET, SEEK_CUR, SEEK_END
#include <wavpack/wavpack.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "format_table.h"
#include "pcm_reduce.h"
#include "stream_marker.h"
#include "wav_file.h"

namespace zirvak {

namespace {

// Sample frames unpacked at a time.
constexpr uint32_t kUnpackFrames = 4096;
// The channels mixed to stereo, as for the other formats that carry more than two.
constexpr int32_t kMostChannels = 8;

WavpackContext* Context(void* context) {
    return static_cast<WavpackContext*>(context);
}

WavPackSource::Stream& Of(void* id) {
    return *static_cast<WavPackSource::Stream*>(id);
}

// libwavpack's reader, over InputFile; it never writes.
int32_t ReadBytes(void* id, void* data, int32_t count) {
    WavPackSource::Stream& s = Of(id);
    if (count <= 0 || (s.watch && s.watch->seen())) return 0;
    const uint64_t size = s.file->size();
    if (s.readAt >= size) return 0;
    const auto want = size_t(std::min<uint64_t>(uint64_t(count), size - s.readAt));
    const size_t got = s.file->ReadAt(s.readAt, static_cast<uint8_t*>(data), want);
    if (got < want && s.watch) s.watch->ReadCameShort();  // the file shrank
    s.readAt += got;
    return int32_t(got);
}

int32_t WriteBytes(void*, void*, int32_t) {
    return 0;
}

int64_t GetPosition(void* id) {
    return int64_t(Of(id).readAt);
}

int SetPositionAbsolute(void* id, int64_t position) {
    WavPackSource::Stream& s = Of(id);
    if (position < 0 || uint64_t(position) > s.file->size()) return -1;
    s.readAt = uint64_t(position);
    return 0;
}

int SetPositionRelative(void* id, int64_t delta, int mode) {
    WavPackSource::Stream& s = Of(id);
    const int64_t from = mode == SEEK_SET   ? 0
                         : mode == SEEK_CUR ? int64_t(s.readAt)
                         : mode == SEEK_END ? int64_t(s.file->size())
                                            : -1;
    if (from < 0) return -1;
    return SetPositionAbsolute(id, from + delta);
}

// libwavpack pushes back the byte it has just read.
int PushBackByte(void* id, int c) {
    WavPackSource::Stream& s = Of(id);
    if (s.readAt == 0) return EOF;
    --s.readAt;
    return c;
}

int64_t GetLength(void* id) {
    return int64_t(Of(id).file->size());
}

int CanSeek(void*) {
    return 1;
}

int TruncateHere(void*) {
    return -1;
}

int CloseStream(void*) {
    return 0;
}

WavpackStreamReader64 kReader = {
    ReadBytes,    WriteBytes, GetPosition, SetPositionAbsolute, SetPositionRelative,
    PushBackByte, GetLength,  CanSeek,     TruncateHere,        CloseStream};

std::optional<uint64_t> WavPackStart(ByteSource& source) {
    return MarkerAfterTags(source, "wvpk");
}

}  // namespace

WavPackSource::WavPackSource(InputFile& file) : file_(file), watch_(file) {}

WavPackSource::~WavPackSource() {
    CloseContext();
}

void WavPackSource::CloseContext() {
    if (context_) WavpackCloseFile(Context(context_));
    context_ = nullptr;
}

void* WavPackSource::Open(char* error) {
    main_ = {&file_, &watch_, 0};
    correction_ = {&correctionFile_, nullptr, 0};
    const bool withCorrection = correctionFile_.IsOpen();
    // Floats come normalised to ±1.0, whatever range the file keeps them in.
    const int flags = OPEN_NORMALIZE | (withCorrection ? OPEN_WVC : 0);
    return WavpackOpenFileInputEx64(&kReader, &main_, withCorrection ? &correction_ : nullptr,
                                    error, flags, 0);
}

FileProblem WavPackSource::SetUp(std::string* detail) {
    if (!WavPackStart(file_)) return FileProblem::kNotPlayable;
    // A hybrid file's correction file, when one lies beside it.
    correctionFile_.Close();
    if (!file_.path().empty()) correctionFile_.Open(file_.path() + "c");
    char error[81] = {};
    context_ = Open(error);
    if (!context_) {
        // A correction file holds only what its hybrid file lacks: libwavpack says so.
        if (std::strstr(error, "correction") != nullptr) {
            *detail = "a WavPack correction file, which plays beside its hybrid file";
            return FileProblem::kUnsupported;
        }
        *detail = "the WavPack blocks are damaged";
        return FileProblem::kDamaged;
    }
    WavpackContext* context = Context(context_);
    const int mode = WavpackGetMode(context);
    bits_ = uint32_t(WavpackGetBitsPerSample(context));
    unpackBits_ = uint32_t(WavpackGetBytesPerSample(context)) * 8;
    float_ = (mode & MODE_FLOAT) != 0;
    hybrid_ = (mode & MODE_HYBRID) != 0;
    corrected_ = (mode & MODE_WVC) != 0;
    fileChannels_ = WavpackGetNumChannels(context);
    const uint32_t rate = WavpackGetSampleRate(context);
    if (fileChannels_ < 1 || unpackBits_ < 8 || unpackBits_ > 32 || (float_ && unpackBits_ != 32)) {
        *detail = "stream information out of range";
        return FileProblem::kDamaged;
    }
    if (fileChannels_ > kMostChannels) {
        *detail = std::to_string(fileChannels_) + " channels";
        return FileProblem::kUnsupported;
    }
    if (rate < kWavLowestRateHz || rate > kWavHighestRateHz) {
        *detail = "a sample rate of " + std::to_string(rate) + " Hz";
        return FileProblem::kUnsupported;
    }
    format_ = {int32_t(rate), OutputChannels(fileChannels_)};
    return FileProblem::kNone;
}

RunStart WavPackSource::Start(std::optional<uint32_t> seekMs) {
    watch_.Restart();
    RunStart run;
    if (!buffers_.allocated()) {
        CloseContext();
        run.problem = SetUp(&run.detail);
        if (run.problem != FileProblem::kNone) return run;
        const size_t values = size_t(kUnpackFrames) * size_t(fileChannels_);
        unpacked_.reset(new (std::nothrow) int32_t[values]);
        planar_.reset(new (std::nothrow) int32_t[values]);
        floats_.reset(new (std::nothrow) float[values]);
        if (!buffers_.Allocate(uint32_t(format_.channels) * 2) || !unpacked_ || !planar_ ||
            !floats_) {
            // Nothing kept: the next start reads the file and asks for all of it again.
            buffers_.Release();
            run.noBufferMemory = true;
            return run;
        }
        if (!haveInfo_) {
            const int64_t frames = WavpackGetNumSamples64(Context(context_));
            if (frames < 0) {
                // The encoder did not know the length (it wrote to a pipe): count the frames.
                uint64_t counted = 0;
                for (uint32_t n; (n = Unpack(kUnpackFrames)) > 0;) counted += n;
                totalFrames_ = counted;
                CloseContext();
                char error[81] = {};
                context_ = Open(error);
                if (!context_) {
                    run.problem = FileProblem::kDamaged;
                    run.detail = "the WavPack blocks are damaged";
                    return run;
                }
            } else {
                totalFrames_ = uint64_t(frames);
            }
            haveInfo_ = true;
        }
        if (totalFrames_ == 0) {
            run.problem = FileProblem::kNoAudio;
            return run;
        }
    }
    startFrame_ = RunStartFrame(seekMs, format_.sampleRateHz, totalFrames_);
    const bool placed = MoveTo(startFrame_);
    buffers_.BeginRun(run, startFrame_, placed ? totalFrames_ - startFrame_ : 0,
                      [this](int16_t* out, uint32_t frames) { return Produce(out, frames); });
    return run;
}

SourceBuffer WavPackSource::Fill(uint8_t buffer, uint32_t index) {
    return buffers_.Fill(buffer, index,
                         [this](int16_t* out, uint32_t frames) { return Produce(out, frames); });
}

// Positions libwavpack so that the next frame it gives is the song's frame `frame`: by its
// seek, or, where that fails (damage where it lands leaves its context unusable), from the
// start of a context opened again, dropping what comes before. The start is always a context
// opened again: in a damaged file the seek may resynchronise on other blocks than the open
// did, and a song played again must sound as it did the first time.
bool WavPackSource::MoveTo(uint64_t frame) {
    nextFrame_ = frame;
    if (frame >= totalFrames_) return true;
    if (frame > 0 && context_ && WavpackSeekSample64(Context(context_), int64_t(frame)))
        return true;
    CloseContext();
    char error[81] = {};
    context_ = Open(error);
    nextFrame_ = 0;
    return context_ && Discard(frame);
}

bool WavPackSource::Discard(uint64_t frames) {
    while (nextFrame_ < frames) {
        const uint32_t n = Unpack(uint32_t(std::min<uint64_t>(frames - nextFrame_, kUnpackFrames)));
        if (n == 0) return false;
        nextFrame_ += n;
    }
    return true;
}

uint32_t WavPackSource::Unpack(uint32_t frames) {
    if (!context_ || watch_.seen()) return 0;
    WavpackContext* context = Context(context_);
    const int errorsBefore = WavpackGetNumErrors(context);
    const uint32_t n = WavpackUnpackSamples(context, unpacked_.get(), frames);
    decodeErrors_ += uint64_t(std::max(0, WavpackGetNumErrors(context) - errorsBefore));
    return n;
}

// Writes up to `frames` sample frames of the run to `out`; returns how many: fewer when the
// stream ended (or the file changed) first.
uint32_t WavPackSource::Produce(int16_t* out, uint32_t frames) {
    if (watch_.Changed()) return 0;
    const auto channels = size_t(fileChannels_);
    const auto outChannels = size_t(format_.channels);
    uint32_t got = 0;
    while (got < frames && nextFrame_ < totalFrames_) {
        const auto want =
            uint32_t(std::min<uint64_t>({frames - got, kUnpackFrames, totalFrames_ - nextFrame_}));
        const uint32_t n = Unpack(want);
        if (n == 0) break;
        int16_t* to = out + size_t(got) * outChannels;
        if (!float_ && unpackBits_ <= 16 && channels <= 2) {
            // 16 bits or fewer in one or two channels are the output already, scaled up exactly.
            const uint32_t shift = 16 - unpackBits_;
            for (size_t i = 0; i < size_t(n) * channels; ++i)
                to[i] = int16_t(uint32_t(unpacked_[i]) << shift);
        } else if (float_) {
            for (size_t i = 0; i < size_t(n) * channels; ++i)
                floats_[i] = std::bit_cast<float>(unpacked_[i]);
            ReduceFloatFrames(floats_.get(), fileChannels_, ChannelOrder::kWave, n, nextFrame_, to);
        } else {
            const int32_t* planes[kMostChannels];
            for (size_t c = 0; c < channels; ++c) {
                int32_t* plane = planar_.get() + c * n;
                for (uint32_t i = 0; i < n; ++i) plane[i] = unpacked_[i * channels + c];
                planes[c] = plane;
            }
            ReduceIntegerFrames(planes, fileChannels_, unpackBits_, ChannelOrder::kWave, n,
                                nextFrame_, to);
        }
        nextFrame_ += n;
        got += n;
    }
    return got;
}

uint32_t WavPackSource::lengthMs() const {
    const auto rate = uint64_t(format_.sampleRateHz);
    return rate ? uint32_t(totalFrames_ * 1000 / rate) : 0;
}

namespace {

std::vector<InfoLine> DescribeWavPack(const AudioSource& source, uint64_t fileBytes) {
    const auto& wv = static_cast<const WavPackSource&>(source);
    std::string format = "WavPack";
    if (wv.isHybrid()) format += wv.corrected() ? " hybrid with its correction file" : " hybrid";
    format += wv.isFloat() ? ", 32-bit float" : ", " + std::to_string(wv.bitsPerSample()) + " bits";
    format += wv.isHybrid() && !wv.corrected() ? ", lossy" : ", lossless";
    return DecodedStreamLines(format, wv.format().sampleRateHz, wv.fileChannels(), wv.totalFrames(),
                              fileBytes);
}

}  // namespace

extern constinit const FileFormat kWavPackFormat = {
    .names = {"WavPack"},
    .recognises = [](ByteSource& source) { return WavPackStart(source).has_value(); },
    .makeSource = [](InputFile& file, const SourceOptions&) -> std::unique_ptr<AudioSource> {
        return std::make_unique<WavPackSource>(file);
    },
    .extensions = {"wv"},
    .mimeTypes = {"audio/x-wavpack"},
    .tags = TagLayout::kApe,
    .describe = DescribeWavPack,
};

}  // namespace zirvak
