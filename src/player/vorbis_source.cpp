#include "vorbis_source.h"

#include <vorbis/vorbisfile.h>

#include <new>

#include "format_table.h"
#include "pcm_reduce.h"
#include "stream_marker.h"
#include "wav_file.h"

namespace zirvak {

struct VorbisSource::File {
    OggVorbis_File file{};
};

namespace {

OggSource& Of(void* source) {
    return *static_cast<OggSource*>(source);
}

size_t Read(void* out, size_t size, size_t count, void* source) {
    if (size == 0) return 0;
    return Of(source).ReadBytes(static_cast<uint8_t*>(out), size * count) / size;
}

int Seek(void* source, ogg_int64_t offset, int whence) {
    return Of(source).SeekBytes(offset, whence) ? 0 : -1;
}

long Tell(void* source) {
    return long(Of(source).TellBytes());
}

}  // namespace

VorbisSource::VorbisSource(InputFile& file) : OggSource(file) {}

VorbisSource::~VorbisSource() {
    CloseStream();
}

void VorbisSource::CloseStream() {
    if (vorbis_) ov_clear(&vorbis_->file);
    vorbis_.reset();
}

FileProblem VorbisSource::OpenStream(std::string* detail) {
    vorbis_.reset(new (std::nothrow) File);
    if (!vorbis_) return NoMemory();
    const ov_callbacks callbacks = {Read, Seek, nullptr, Tell};
    const int opened = ov_open_callbacks(this, &vorbis_->file, nullptr, 0, callbacks);
    if (opened < 0) {
        vorbis_.reset();  // ov_open_callbacks clears what it made when it fails
        // Its first packet named it Vorbis: anything libvorbisfile cannot open is damage.
        *detail = "the Vorbis headers are damaged";
        return FileProblem::kDamaged;
    }
    const vorbis_info* info = ov_info(&vorbis_->file, 0);
    const ogg_int64_t total = ov_pcm_total(&vorbis_->file, -1);
    if (!info || info->channels < 1 || info->rate <= 0 || total < 0) {
        *detail = "the Vorbis headers are damaged";
        return FileProblem::kDamaged;
    }
    if (info->rate < long(kWavLowestRateHz) || info->rate > long(kWavHighestRateHz)) {
        *detail = "a sample rate of " + std::to_string(info->rate) + " Hz";
        return FileProblem::kUnsupported;
    }
    if (total == 0) return FileProblem::kNoAudio;
    rate_ = int32_t(info->rate);
    SetStreamFormat(rate_, info->channels, uint64_t(total));
    return FileProblem::kNone;
}

bool VorbisSource::SeekStream(uint64_t frame) {
    return ov_pcm_seek(&vorbis_->file, ogg_int64_t(frame)) == 0;
}

OggSource::Decoded VorbisSource::ReadStream(int16_t* out, uint32_t frames, uint64_t firstFrame) {
    OggVorbis_File* file = &vorbis_->file;
    float** pcm = nullptr;
    int link = 0;
    const long got = ov_read_float(file, &pcm, int(std::min<uint32_t>(frames, 1 << 20)), &link);
    if (got == OV_HOLE) {
        return {0, true};
    }
    if (got <= 0) return {0, false, true};
    const vorbis_info* info = ov_info(file, link);
    // A link of another shape ends the run: the device plays one format.
    if (!info || info->channels != fileChannels() || info->rate != rate_)
        return {0, false, true, true};
    ReduceFloatPlanar(pcm, info->channels, ChannelOrder::kXiph, uint32_t(got), firstFrame, out);
    return {uint32_t(got)};
}

int64_t VorbisSource::Position() {
    return ov_pcm_tell(&vorbis_->file);
}

extern constinit const FileFormat kVorbisFormat = {
    .names = {"Ogg Vorbis"},
    .recognises = [](ByteSource& source) { return OggStreamStartsWith(source, "\x01vorbis"); },
    .makeSource = [](InputFile& file, const SourceOptions&) -> std::unique_ptr<AudioSource> {
        return std::make_unique<VorbisSource>(file);
    },
    .extensions = {"ogg", "oga"},
    .mimeTypes = {"audio/ogg", "audio/x-vorbis+ogg", "audio/vorbis"},
    .tags = TagLayout::kOggVorbis,
    .describe =
        [](const AudioSource& source, uint64_t fileBytes) {
            return DescribeOggStream(static_cast<const VorbisSource&>(source), "Vorbis", fileBytes);
        },
};

}  // namespace zirvak
