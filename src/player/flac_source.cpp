#include "flac_source.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "format_table.h"
#include "pcm_reduce.h"
#include "stream_marker.h"
#include "wav_file.h"
#include "zeroed_bytes.h"

namespace zirvak {

namespace {

// libFLAC's largest block.
constexpr uint32_t kMostBlockFrames = 65536;
// The carry holds the blocks of one call to libFLAC: one, or a few where it stepped over
// damaged ones in the same call.
constexpr uint32_t kCarryFrames = 4 * kMostBlockFrames;

FLAC__StreamDecoder* Decoder(void* decoder) {
    return static_cast<FLAC__StreamDecoder*>(decoder);
}

std::optional<uint64_t> FlacStart(ByteSource& source) {
    return MarkerAfterTags(source, "fLaC");
}

}  // namespace

// libFLAC calls these with the source as its client data.
struct FlacSource::Callbacks {
    static FlacSource& Of(void* client) { return *static_cast<FlacSource*>(client); }

    static uint64_t StreamSize(const FlacSource& s) {
        const uint64_t size = s.file_.size();
        return size > s.streamStart_ ? size - s.streamStart_ : 0;
    }

    static FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                              size_t* bytes, void* client) {
        FlacSource& s = Of(client);
        const uint64_t size = StreamSize(s);
        if (s.watch_.seen() || s.readAt_ >= size || *bytes == 0) {
            *bytes = 0;
            return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
        }
        const size_t want = size_t(std::min<uint64_t>(*bytes, size - s.readAt_));
        const size_t got = s.file_.ReadAt(s.streamStart_ + s.readAt_, buffer, want);
        if (got < want) s.watch_.ReadCameShort();  // the file shrank
        s.readAt_ += got;
        *bytes = got;
        return got ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE
                   : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    }

    static FLAC__StreamDecoderSeekStatus Seek(const FLAC__StreamDecoder*, FLAC__uint64 offset,
                                              void* client) {
        FlacSource& s = Of(client);
        if (offset > StreamSize(s)) return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
        s.readAt_ = offset;
        return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
    }

    static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* offset,
                                              void* client) {
        *offset = Of(client).readAt_;
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }

    static FLAC__StreamDecoderLengthStatus Length(const FLAC__StreamDecoder*, FLAC__uint64* length,
                                                  void* client) {
        *length = StreamSize(Of(client));
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    }

    static FLAC__bool Eof(const FLAC__StreamDecoder*, void* client) {
        const FlacSource& s = Of(client);
        return s.watch_.seen() || s.readAt_ >= StreamSize(s);
    }

    static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*,
                                                const FLAC__Frame* frame,
                                                const FLAC__int32* const buffer[], void* client) {
        FlacSource& s = Of(client);
        const FLAC__FrameHeader& h = frame->header;
        const uint64_t start = h.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER
                                   ? h.number.sample_number
                                   : uint64_t(h.number.frame_number) * h.blocksize;
        if (s.counting_) {
            s.nextFrame_ = std::max(s.nextFrame_, start + h.blocksize);
            return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
        }
        // A frame unlike the stream (its header damaged past what the CRC caught) is dropped:
        // the silence of the gap it leaves is played when the next frame comes.
        if (int32_t(h.channels) != s.fileChannels_ || h.bits_per_sample != s.bits_ ||
            h.blocksize > kMostBlockFrames)
            return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
        // Frames lost before this one: silence in their place, so that what follows keeps its
        // time. (A frame that starts before the expected one is a seek's target frame; it
        // comes cut to start there.)
        if (start > s.nextFrame_ && start < s.totalFrames_) {
            const uint64_t gap = start - s.nextFrame_;
            const uint64_t dropped = std::min(gap, s.discard_);
            s.discard_ -= dropped;
            s.framesLost_ += gap;
            s.nextFrame_ += dropped;
            // Silence comes before what the carry holds: owed while it is empty, else put in it.
            if (s.carryTaken_ == s.carryFrames_)
                s.silenceDue_ += gap - dropped;
            else
                s.Append(nullptr, gap - dropped);
            s.nextFrame_ = start;
        }
        const auto from = uint32_t(std::min<uint64_t>(s.discard_, h.blocksize));
        s.discard_ -= from;
        uint64_t count = h.blocksize - from;
        const uint64_t first = s.nextFrame_ + from;
        s.nextFrame_ += h.blocksize;
        // Nothing past the length STREAMINFO gives.
        count = first >= s.totalFrames_ ? 0 : std::min(count, s.totalFrames_ - first);
        if (count == 0) return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
        const int32_t* channels[FLAC__MAX_CHANNELS];
        for (int32_t c = 0; c < s.fileChannels_; ++c) channels[c] = buffer[c] + from;
        int16_t* to = s.Append(channels, count);
        if (to)
            ReduceIntegerFrames(channels, s.fileChannels_, s.bits_, ChannelOrder::kWave,
                                uint32_t(count), first, to);
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata,
                         void* client) {
        FlacSource& s = Of(client);
        if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO || s.haveInfo_) return;
        const auto& info = metadata->data.stream_info;
        s.haveInfo_ = true;
        s.bits_ = info.bits_per_sample;
        s.fileChannels_ = int32_t(info.channels);
        s.totalFrames_ = info.total_samples;
        s.format_ = {int32_t(info.sample_rate), OutputChannels(int32_t(info.channels))};
    }

    static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client) {
        ++Of(client).decodeErrors_;
    }
};

FlacSource::FlacSource(InputFile& file) : file_(file), watch_(file) {}

FlacSource::~FlacSource() {
    if (decoder_) FLAC__stream_decoder_delete(Decoder(decoder_));
}

FileProblem FlacSource::SetUp(std::string* detail) {
    const std::optional<uint64_t> start = FlacStart(file_);
    if (!start) return FileProblem::kNotPlayable;
    streamStart_ = *start;
    readAt_ = 0;
    haveInfo_ = false;
    FLAC__StreamDecoder* decoder = FLAC__stream_decoder_new();
    if (!decoder) return FileProblem::kNone;  // no memory: said by the caller
    decoder_ = decoder;
    using C = Callbacks;
    if (FLAC__stream_decoder_init_stream(decoder, C::Read, C::Seek, C::Tell, C::Length, C::Eof,
                                         C::Write, C::Metadata, C::Error,
                                         this) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return FileProblem::kNotPlayable;
    FLAC__stream_decoder_process_until_end_of_metadata(decoder);
    if (!haveInfo_) {
        *detail = "no stream information";
        return FileProblem::kDamaged;
    }
    // A metadata block whose length runs past the file leaves libFLAC reading metadata: it
    // decodes no frame from there, so the run from the start would play nothing.
    const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder);
    if (state == FLAC__STREAM_DECODER_SEARCH_FOR_METADATA ||
        state == FLAC__STREAM_DECODER_READ_METADATA) {
        *detail = "the metadata blocks are damaged";
        return FileProblem::kDamaged;
    }
    if (fileChannels_ < 1 || bits_ < 4 || bits_ > 32) {
        *detail = "stream information out of range";
        return FileProblem::kDamaged;
    }
    const auto rate = uint32_t(format_.sampleRateHz);
    if (rate < kWavLowestRateHz || rate > kWavHighestRateHz) {
        *detail = "a sample rate of " + std::to_string(rate) + " Hz";
        return FileProblem::kUnsupported;
    }
    if (totalFrames_ == 0) {
        // The encoder did not know the length (it wrote to a pipe): count the frames.
        counting_ = true;
        nextFrame_ = 0;
        FLAC__stream_decoder_process_until_end_of_stream(decoder);
        counting_ = false;
        totalFrames_ = nextFrame_;
        if (totalFrames_ == 0) return FileProblem::kNoAudio;
    }
    return FileProblem::kNone;
}

RunStart FlacSource::Start(std::optional<uint32_t> seekMs) {
    watch_.Restart();
    RunStart run;
    if (!buffers_.allocated()) {
        if (decoder_) FLAC__stream_decoder_delete(Decoder(decoder_));
        decoder_ = nullptr;
        run.problem = SetUp(&run.detail);
        if (run.problem != FileProblem::kNone) return run;
        carry_.reset(new (std::nothrow) int16_t[size_t(kCarryFrames) * 2]);
        if (!buffers_.Allocate(uint32_t(format_.channels) * 2) || !decoder_ || !carry_) {
            // Nothing kept: the next start reads the file and asks for all of it again.
            buffers_.Release();
            carry_.reset();
            run.noBufferMemory = true;
            return run;
        }
    }
    startFrame_ = RunStartFrame(seekMs, format_.sampleRateHz, totalFrames_);
    MoveTo(startFrame_);
    buffers_.BeginRun(run, startFrame_, totalFrames_ - startFrame_,
                      [this](int16_t* out, uint32_t frames) { return Produce(out, frames); });
    return run;
}

SourceBuffer FlacSource::Fill(uint8_t buffer, uint32_t index) {
    return buffers_.Fill(buffer, index,
                         [this](int16_t* out, uint32_t frames) { return Produce(out, frames); });
}

// Positions the decoder so that the next frame it gives is the song's frame `frame`: by
// libFLAC's seek, or, where that fails (a damaged stream), by decoding from the start and
// dropping what comes before.
bool FlacSource::MoveTo(uint64_t frame) {
    FLAC__StreamDecoder* decoder = Decoder(decoder_);
    carryFrames_ = carryTaken_ = 0;
    silenceDue_ = 0;
    discard_ = 0;
    nextFrame_ = frame;
    if (frame >= totalFrames_) return true;
    const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder);
    if (state == FLAC__STREAM_DECODER_SEEK_ERROR || state == FLAC__STREAM_DECODER_ABORTED)
        FLAC__stream_decoder_flush(decoder);
    if (FLAC__stream_decoder_seek_absolute(decoder, frame)) return true;
    FLAC__stream_decoder_flush(decoder);
    carryFrames_ = carryTaken_ = 0;
    readAt_ = 0;
    if (!FLAC__stream_decoder_reset(decoder)) return false;
    readAt_ = 0;
    nextFrame_ = 0;
    discard_ = frame;
    return FLAC__stream_decoder_process_until_end_of_metadata(decoder);
}

// Writes up to `frames` sample frames of the run to `out`; returns how many: fewer when the
// stream ended (or the file changed) first.
uint32_t FlacSource::Produce(int16_t* out, uint32_t frames) {
    FLAC__StreamDecoder* decoder = Decoder(decoder_);
    const auto channels = uint32_t(format_.channels);
    if (watch_.Changed()) return 0;
    uint32_t got = 0;
    while (got < frames) {
        if (silenceDue_ > 0) {
            const auto n = uint32_t(std::min<uint64_t>(silenceDue_, frames - got));
            std::memset(out + size_t(got) * channels, 0, size_t(n) * channels * 2);
            silenceDue_ -= n;
            got += n;
            continue;
        }
        if (carryTaken_ < carryFrames_) {
            const uint32_t n = std::min(carryFrames_ - carryTaken_, frames - got);
            std::memcpy(out + size_t(got) * channels, carry_.get() + size_t(carryTaken_) * channels,
                        size_t(n) * channels * 2);
            carryTaken_ += n;
            got += n;
            continue;
        }
        const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder);
        if (watch_.seen() || state == FLAC__STREAM_DECODER_END_OF_STREAM ||
            state == FLAC__STREAM_DECODER_ABORTED || state == FLAC__STREAM_DECODER_SEEK_ERROR ||
            state == FLAC__STREAM_DECODER_MEMORY_ALLOCATION_ERROR ||
            state == FLAC__STREAM_DECODER_UNINITIALIZED)
            break;
        carryFrames_ = carryTaken_ = 0;
        if (!FLAC__stream_decoder_process_single(decoder)) break;
    }
    return got;
}

// Makes room for `count` frames at the end of the carry and returns where they go; with no
// samples, fills them with silence. Frames beyond its room are dropped (and counted lost).
int16_t* FlacSource::Append(const void* samples, uint64_t count) {
    const auto channels = size_t(format_.channels);
    if (carryTaken_ == carryFrames_) carryTaken_ = carryFrames_ = 0;
    if (carryFrames_ + count > kCarryFrames && carryTaken_ > 0) {
        std::memmove(carry_.get(), carry_.get() + carryTaken_ * channels,
                     (carryFrames_ - carryTaken_) * channels * 2);
        carryFrames_ -= carryTaken_;
        carryTaken_ = 0;
    }
    const uint64_t room = kCarryFrames - carryFrames_;
    if (count > room) {
        framesLost_ += count - room;
        if (samples) return nullptr;  // a whole block or nothing, so that it lines up
        count = room;
    }
    int16_t* at = carry_.get() + carryFrames_ * channels;
    if (!samples) std::memset(at, 0, size_t(count) * channels * 2);
    carryFrames_ += uint32_t(count);
    return at;
}

uint32_t FlacSource::lengthMs() const {
    const auto rate = uint64_t(format_.sampleRateHz);
    return rate ? uint32_t(totalFrames_ * 1000 / rate) : 0;
}

namespace {

std::vector<InfoLine> DescribeFlac(const AudioSource& source, uint64_t fileBytes) {
    const auto& flac = static_cast<const FlacSource&>(source);
    return DecodedStreamLines("FLAC, " + std::to_string(flac.bitsPerSample()) + " bits",
                              flac.format().sampleRateHz, flac.fileChannels(), flac.totalFrames(),
                              fileBytes);
}

}  // namespace

extern constinit const FileFormat kFlacFormat = {
    .names = {"FLAC"},
    .recognises = [](ByteSource& source) { return FlacStart(source).has_value(); },
    .makeSource = [](InputFile& file, const SourceOptions&) -> std::unique_ptr<AudioSource> {
        return std::make_unique<FlacSource>(file);
    },
    .extensions = {"flac"},
    .mimeTypes = {"audio/flac", "audio/x-flac"},
    .tags = TagLayout::kFlacBlocks,
    .describe = DescribeFlac,
};

}  // namespace zirvak
