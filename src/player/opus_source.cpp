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
    clipMemory_.reset(new (std::nothrow) float[size_t(channels)]());
    if (!scratch_ || !clipMemory_) return NoMemory();
    decoded_ = handedOut_ = 0;
    SetStreamFormat(48000, channels, uint64_t(total));
    return FileProblem::kNone;
}

int OpusSource::DecodePacket(int* link) {
    decoded_ = handedOut_ = 0;
    const int channels = fileChannels();
    const int got =
        op_read_float(File(opus_), scratch_.get(), int(kMostReadFrames) * channels, link);
    if (got <= 0 || op_channel_count(File(opus_), *link) != channels) return got;
    // Overs are softened as Opus's own decoder softens them, a packet at a time: the curve
    // depends on where the pieces it is given begin, so those are the packets whatever the
    // output's buffers, and after a seek the same once the pre-roll has passed.
    opus_pcm_soft_clip(scratch_.get(), got, channels, clipMemory_.get());
    decoded_ = uint32_t(got);
    return got;
}

// Seeks a second before `frame` and decodes up to it; the rest of the packet that holds it is
// kept for the run.
bool OpusSource::SeekStream(uint64_t frame) {
    OggOpusFile* file = File(opus_);
    decoded_ = handedOut_ = 0;
    std::fill_n(clipMemory_.get(), fileChannels(), 0.0f);
    const uint64_t from = frame > kSeekPreRollFrames ? frame - kSeekPreRollFrames : 0;
    if (op_pcm_seek(file, ogg_int64_t(from)) != 0) return false;
    // Each read decodes a packet or steps over a hole; a second of packets is a few hundred
    // reads, so a stream that goes on giving neither is given up on.
    for (int reads = 0; reads < 4096; ++reads) {
        const ogg_int64_t at = op_pcm_tell(file);
        if (at < 0) return false;
        // Past it only where damage lost the frame itself: the run's first read plays the
        // silence of what was lost.
        if (uint64_t(at) >= frame) return true;
        int link = 0;
        const int got = DecodePacket(&link);
        if (got == OP_HOLE || got == OP_EBADPACKET || got == OP_EBADTIMESTAMP) continue;
        if (got <= 0) return false;
        // A link of another shape: the run that starts there ends at once.
        if (decoded_ == 0) return true;
        if (uint64_t(at) + uint64_t(got) > frame) {
            handedOut_ = uint32_t(frame - uint64_t(at));
            return true;
        }
    }
    return false;
}

OggSource::Decoded OpusSource::ReadStream(int16_t* out, uint32_t frames, uint64_t firstFrame) {
    const int channels = fileChannels();
    if (handedOut_ >= decoded_) {
        int link = 0;
        const int got = DecodePacket(&link);
        // A packet lost or spoiled: the next read goes on after it.
        if (got == OP_HOLE || got == OP_EBADPACKET || got == OP_EBADTIMESTAMP) {
            return {0, true};
        }
        if (got <= 0) return {0, false, true};
        // A link of another shape ends the run: the device plays one format.
        if (op_channel_count(File(opus_), link) != channels) return {0, false, true, true};
    }
    const uint32_t n = std::min(frames, decoded_ - handedOut_);
    ReduceFloatFrames(scratch_.get() + size_t(handedOut_) * size_t(channels), channels,
                      ChannelOrder::kXiph, n, firstFrame, out);
    handedOut_ += n;
    return {n};
}

// Where the next frame handed out lies: behind the library's position by what is kept.
int64_t OpusSource::Position() {
    const ogg_int64_t at = op_pcm_tell(File(opus_));
    return at < 0 ? at : at - int64_t(decoded_ - handedOut_);
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
