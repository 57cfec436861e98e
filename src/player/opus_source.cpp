#include "opus_source.h"

#include <opusfile.h>

#include <algorithm>
#include <new>

#include "format_table.h"
#include "pcm_reduce.h"
#include "stream_marker.h"

namespace zirvak {

namespace {

// The longest Opus packet: 120 ms at 48 kHz. One read never gives more.
constexpr uint32_t kMostReadFrames = 5760;
// The Opus decoder carries state from packet to packet. opusfile's seek decodes 80 ms before
// the place it lands on, after which the output may still differ from an unbroken run's by
// thousands of LSB for a few hundred ms. Decoding a second before the seek's target settles
// the state, so that a run after a seek plays what the unbroken run plays from there.
constexpr uint64_t kSeekPreRollFrames = 48000;

OggSource& Of(void* source) {
    return *static_cast<OggSource*>(source);
}

int Read(void* source, unsigned char* out, int bytes) {
    return bytes <= 0 ? 0 : int(Of(source).ReadBytes(out, size_t(bytes)));
}

int Seek(void* source, opus_int64 offset, int whence) {
    return Of(source).SeekBytes(offset, whence) ? 0 : -1;
}

opus_int64 Tell(void* source) {
    return Of(source).TellBytes();
}

OggOpusFile* File(void* opus) {
    return static_cast<OggOpusFile*>(opus);
}

}  // namespace

OpusSource::OpusSource(InputFile& file) : OggSource(file) {}

OpusSource::~OpusSource() {
    CloseStream();
}

void OpusSource::CloseStream() {
    if (opus_) op_free(File(opus_));
    opus_ = nullptr;
}

FileProblem OpusSource::OpenStream(std::string* detail) {
    const OpusFileCallbacks callbacks = {Read, Seek, Tell, nullptr};
    int error = 0;
    opus_ = op_open_callbacks(this, &callbacks, nullptr, 0, &error);
    if (!opus_) {
        // Its first packet named it Opus: anything opusfile cannot open is damage.
        if (error == OP_EFAULT) return NoMemory();
        *detail = "the Opus headers are damaged";
        return FileProblem::kDamaged;
    }
    const int channels = op_channel_count(File(opus_), 0);
    const ogg_int64_t total = op_pcm_total(File(opus_), -1);
    if (channels < 1 || total < 0) {
        *detail = "the Opus headers are damaged";
        return FileProblem::kDamaged;
    }
    if (total == 0) return FileProblem::kNoAudio;
    scratch_.reset(new (std::nothrow) float[size_t(kMostReadFrames) * size_t(channels)]);
    if (!scratch_) return NoMemory();
    SetStreamFormat(48000, channels, uint64_t(total));
    return FileProblem::kNone;
}

// Seeks a second before `frame` and decodes up to it.
bool OpusSource::SeekStream(uint64_t frame) {
    OggOpusFile* file = File(opus_);
    const uint64_t from = frame > kSeekPreRollFrames ? frame - kSeekPreRollFrames : 0;
    if (op_pcm_seek(file, ogg_int64_t(from)) != 0) return false;
    const int channels = fileChannels();
    // Each read decodes a packet or steps over a hole; a second of packets is a few hundred
    // reads, so a stream that goes on giving neither is given up on.
    for (int reads = 0; reads < 4096; ++reads) {
        const ogg_int64_t at = op_pcm_tell(file);
        if (at < 0) return false;
        // Past it only where damage lost the frame itself: the run's first read plays the
        // silence of what was lost.
        if (uint64_t(at) >= frame) return true;
        const auto want = int(std::min<uint64_t>(frame - uint64_t(at), kMostReadFrames));
        const int got = op_read_float(file, scratch_.get(), want * channels, nullptr);
        if (got == OP_HOLE || got == OP_EBADPACKET || got == OP_EBADTIMESTAMP) continue;
        if (got <= 0) return false;
    }
    return false;
}

OggSource::Decoded OpusSource::ReadStream(int16_t* out, uint32_t frames, uint64_t firstFrame) {
    OggOpusFile* file = File(opus_);
    const int channels = fileChannels();
    const uint32_t want = std::min(frames, kMostReadFrames);
    int link = 0;
    const int got = op_read_float(file, scratch_.get(), int(want) * channels, &link);
    // A packet lost or spoiled: the next read goes on after it.
    if (got == OP_HOLE || got == OP_EBADPACKET || got == OP_EBADTIMESTAMP) {
        return {0, true};
    }
    if (got <= 0) return {0, false, true};
    // A link of another shape ends the run: the device plays one format.
    if (op_channel_count(file, link) != channels) return {0, false, true, true};
    ReduceFloatFrames(scratch_.get(), channels, ChannelOrder::kXiph, uint32_t(got), firstFrame,
                      out);
    return {uint32_t(got)};
}

int64_t OpusSource::Position() {
    return op_pcm_tell(File(opus_));
}

extern constinit const FileFormat kOpusFormat = {
    .names = {"Opus"},
    .recognises = [](ByteSource& source) { return OggStreamStartsWith(source, "OpusHead"); },
    .makeSource = [](InputFile& file, const SourceOptions&) -> std::unique_ptr<AudioSource> {
        return std::make_unique<OpusSource>(file);
    },
    .extensions = {"opus"},
    .mimeTypes = {"audio/x-opus+ogg", "audio/opus"},
    .tags = TagLayout::kOggOpus,
    .describe =
        [](const AudioSource& source, uint64_t fileBytes) {
            return DescribeOggStream(static_cast<const OpusSource&>(source), "Opus", fileBytes);
        },
};

}  // namespace zirvak
