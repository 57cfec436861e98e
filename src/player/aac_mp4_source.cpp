#include "aac_mp4_source.h"

#include <neaacdec.h>

#include <algorithm>
#include <cstdio>
#include <new>

#include "format_table.h"
#include "info_lines.h"
#include "pcm_reduce.h"

namespace zirvak {

namespace {

// Encoders put this many samples of priming before the song when nothing in the file says.
constexpr uint64_t kUsualPriming = 2112;
// The largest access unit read: 6144 bits a channel for eight channels, with room to spare.
constexpr uint32_t kMostUnitBytes = 64 * 1024;
constexpr uint32_t kMostConfigBytes = 64;
// MPEG-4 audio, and the three AAC profiles of MPEG-2.
constexpr uint8_t kMpeg4Audio = 0x40;
constexpr uint8_t kMpeg2AacFirst = 0x66, kMpeg2AacLast = 0x68;

NeAACDecHandle Decoder(void* decoder) {
    return static_cast<NeAACDecHandle>(decoder);
}

// The channel configuration of an AudioSpecificConfig: after the object type (5 bits, or 11
// with the escape) and the rate's index (4 bits, or 28 with an explicit rate). libfaad2's own
// reading says two for one.
uint32_t ChannelConfiguration(const uint8_t* config, uint32_t size) {
    uint64_t bits = 0;
    for (uint32_t i = 0; i < std::min<uint32_t>(size, 7); ++i)
        bits |= uint64_t(config[i]) << (56 - 8 * i);
    uint32_t at = 0;
    const auto take = [&](uint32_t count) {
        const auto value = uint32_t(bits << at >> (64 - count));
        at += count;
        return value;
    };
    if (take(5) == 31) take(6);
    if (take(4) == 15) take(24);
    return take(4);
}

uint64_t Scaled(uint64_t value, uint64_t to, uint64_t from) {
    return from ? value / from * to + value % from * to / from : 0;
}

}  // namespace

AacMp4Source::AacMp4Source(InputFile& file) : file_(file), watch_(file) {}

AacMp4Source::~AacMp4Source() {
    CloseDecoder();
}

void AacMp4Source::CloseDecoder() {
    if (decoder_) NeAACDecClose(Decoder(decoder_));
    decoder_ = nullptr;
}

// A decoder made afresh on the track's configuration: a seek decodes from its pre-roll on a
// decoder that remembers nothing of what came before, as the run from the start does.
bool AacMp4Source::OpenDecoder() {
    CloseDecoder();
    NeAACDecHandle decoder = NeAACDecOpen();
    if (!decoder) return false;
    decoder_ = decoder;
    NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(decoder);
    config->outputFormat = FAAD_FMT_FLOAT;
    // Five or more channels come mixed to stereo.
    config->downMatrix = 1;
    // Spectral band replication that the configuration does not announce is left out rather
    // than doubling the rate after the output was opened.
    config->dontUpSampleImplicitSBR = 1;
    NeAACDecSetConfiguration(decoder, config);
    unsigned long rate = 0;
    unsigned char channels = 0;
    return NeAACDecInit2(decoder, config_.get(), track_.configSize, &rate, &channels) == 0;
}

FileProblem AacMp4Source::SetUp(std::string* detail, bool* noMemory) {
    const FileProblem problem =
        ReadMp4AudioTrack(file_, {BoxType("mp4a"), BoxType("alac")}, &track_, detail);
    if (problem != FileProblem::kNone) return problem;
    if (track_.codec == BoxType("alac")) {
        *detail = "Apple Lossless in MP4";
        return FileProblem::kUnsupported;
    }
    const bool aac = track_.objectType == kMpeg4Audio ||
                     (track_.objectType >= kMpeg2AacFirst && track_.objectType <= kMpeg2AacLast);
    if (!aac) {
        *detail = "an MP4 audio stream other than AAC";
        return FileProblem::kUnsupported;
    }
    if (track_.configSize == 0 || track_.configSize > kMostConfigBytes) {
        *detail = "the AAC configuration is missing";
        return FileProblem::kDamaged;
    }
    config_.reset(new (std::nothrow) uint8_t[kMostConfigBytes]);
    if (!config_) {
        *noMemory = true;
        return FileProblem::kNone;
    }
    if (file_.ReadAt(track_.configAt, config_.get(), track_.configSize) != track_.configSize) {
        *detail = "the AAC configuration is missing";
        return FileProblem::kDamaged;
    }
    mp4AudioSpecificConfig asc{};
    if (NeAACDecAudioSpecificConfig(config_.get(), track_.configSize, &asc) != 0 ||
        !OpenDecoder()) {
        *detail = "an AAC configuration libfaad2 cannot decode";
        return FileProblem::kUnsupported;
    }
    sbr_ = asc.sbr_present_flag == 1;
    table_.reset(new (std::nothrow) Mp4SampleTable(file_, track_));
    unit_.reset(new (std::nothrow) uint8_t[kMostUnitBytes]);
    if (!table_ || !table_->allocated() || !unit_) {
        *noMemory = true;
        return FileProblem::kNone;
    }
    // The rate, channels and frames of a unit as the decoder gives them (parametric stereo
    // makes two channels of one): from the first units that decode.
    uint32_t rate = 0;
    for (int tries = 0; tries < 8 && rate == 0; ++tries) {
        Mp4Sample sample;
        if (!table_->Next(&sample) || sample.size > kMostUnitBytes ||
            file_.ReadAt(sample.offset, unit_.get(), sample.size) != sample.size)
            break;
        NeAACDecFrameInfo info{};
        NeAACDecDecode(Decoder(decoder_), &info, unit_.get(), sample.size);
        if (info.error == 0 && info.samples > 0 && info.channels > 0) {
            rate = uint32_t(info.samplerate);
            decodedChannels_ = info.channels;
            unitFrames_ = uint32_t(info.samples / info.channels);
        }
    }
    if (rate == 0) {
        *detail = "no AAC frame decodes";
        return FileProblem::kDamaged;
    }
    if (rate < 8000 || rate > 96000 || unitFrames_ == 0 || unitFrames_ > 4096) {
        *detail = "stream information out of range";
        return FileProblem::kDamaged;
    }
    // libfaad2 gives a mono stream as two equal channels (parametric stereo could have made
    // two of it): plain mono plays as one.
    const bool mono = ChannelConfiguration(config_.get(), track_.configSize) == 1;
    fileChannels_ = mono && !sbr_ && decodedChannels_ == 2 ? 1 : decodedChannels_;
    format_ = {int32_t(rate), OutputChannels(fileChannels_)};

    const uint64_t decoded = uint64_t(track_.sampleCount) * unitFrames_;
    // The media's timescale is the stream's rate or the core's; the edit speaks in it.
    const uint64_t mediaScale = track_.mediaTimescale;
    if (track_.edit && track_.movieTimescale) {
        gapOrigin_ = Mp4GapOrigin::kEditList;
        priming_ = Scaled(track_.edit->mediaTime, rate, mediaScale);
        songFrames_ = Scaled(track_.edit->duration, rate, track_.movieTimescale);
    } else if (track_.iTunesGap) {
        gapOrigin_ = Mp4GapOrigin::kITunSMPB;
        priming_ = track_.iTunesGap->delay;
        songFrames_ = track_.iTunesGap->samples
                          ? track_.iTunesGap->samples
                          : decoded - std::min(decoded, priming_ + track_.iTunesGap->padding);
    } else {
        gapOrigin_ = Mp4GapOrigin::kUsualPriming;
        priming_ = kUsualPriming * (sbr_ ? 2 : 1);
        const uint64_t media = Scaled(table_->Duration(), rate, mediaScale);
        songFrames_ = std::min(media, decoded) - std::min(std::min(media, decoded), priming_);
    }
    // Never more than the access units decode to.
    priming_ = std::min(priming_, decoded);
    songFrames_ = std::min(songFrames_, decoded - priming_);
    padding_ = decoded - priming_ - songFrames_;
    return FileProblem::kNone;
}

RunStart AacMp4Source::Start(std::optional<uint32_t> seekMs) {
    watch_.Restart();
    RunStart run;
    if (!buffers_.allocated()) {
        CloseDecoder();
        bool noMemory = false;
        run.problem = SetUp(&run.detail, &noMemory);
        if (run.problem != FileProblem::kNone) return run;
        if (!noMemory) {
            silence_.reset(new (std::nothrow) float[size_t(unitFrames_) * 2]());
            mono_.reset(new (std::nothrow) float[unitFrames_]);
        }
        if (noMemory || !silence_ || !mono_ || !buffers_.Allocate(uint32_t(format_.channels) * 2)) {
            // Nothing kept: the next start reads the file and asks for all of it again.
            buffers_.Release();
            run.noBufferMemory = true;
            return run;
        }
        if (songFrames_ == 0) {
            buffers_.Release();
            run.problem = FileProblem::kNoAudio;
            return run;
        }
    }
    startFrame_ = RunStartFrame(seekMs, format_.sampleRateHz, songFrames_);
    const bool placed = MoveTo(startFrame_);
    buffers_.BeginRun(run, startFrame_, placed ? songFrames_ - startFrame_ : 0,
                      [this](int16_t* out, uint32_t frames) { return Produce(out, frames); });
    return run;
}

SourceBuffer AacMp4Source::Fill(uint8_t buffer, uint32_t index) {
    return buffers_.Fill(buffer, index,
                         [this](int16_t* out, uint32_t frames) { return Produce(out, frames); });
}

// Decoding starts at the access unit the frame lies in, less the pre-roll: at least one unit,
// whose overlap the frame's unit needs, and more when the stream says so.
bool AacMp4Source::MoveTo(uint64_t frame) {
    nextFrame_ = frame;
    pending_ = nullptr;
    pendingFrames_ = 0;
    if (frame >= songFrames_) return true;
    const uint64_t at = priming_ + frame;
    const uint64_t unit = at / unitFrames_;
    const uint64_t first = unit - std::min<uint64_t>(unit, std::max<uint32_t>(track_.preRoll, 1));
    if (!OpenDecoder() || !table_->MoveTo(uint32_t(first))) return false;
    nextUnitAt_ = first * unitFrames_;
    return true;
}

bool AacMp4Source::DecodeNext() {
    Mp4Sample sample;
    if (watch_.Changed() || !table_->Next(&sample)) return false;
    pendingAt_ = nextUnitAt_;
    nextUnitAt_ += unitFrames_;
    pending_ = silence_.get();
    pendingFrames_ = unitFrames_;
    NeAACDecFrameInfo info{};
    void* samples = nullptr;
    if (sample.size <= kMostUnitBytes &&
        file_.ReadAt(sample.offset, unit_.get(), sample.size) == sample.size) {
        samples = NeAACDecDecode(Decoder(decoder_), &info, unit_.get(), sample.size);
    } else {
        watch_.ReadCameShort();
        return false;
    }
    if (!samples || info.error != 0) {
        ++decodeErrors_;
        return true;
    }
    // The first unit a decoder sees gives nothing: its frames are those of the overlap only.
    if (info.samples == 0) {
        pendingFrames_ = 0;
        return true;
    }
    const auto channels = int32_t(info.channels);
    const uint32_t frames = channels ? uint32_t(info.samples / uint32_t(channels)) : 0;
    if (channels != decodedChannels_ || frames != unitFrames_) {
        ++decodeErrors_;
        return true;
    }
    const auto* decoded = static_cast<const float*>(samples);
    if (format_.channels == channels) {
        pending_ = decoded;
    } else {
        // The first of equal channels.
        for (uint32_t i = 0; i < frames; ++i) mono_[i] = decoded[size_t(i) * size_t(channels)];
        pending_ = mono_.get();
    }
    return true;
}

uint32_t AacMp4Source::Produce(int16_t* out, uint32_t frames) {
    const auto channels = uint32_t(format_.channels);
    uint32_t got = 0;
    while (got < frames && nextFrame_ < songFrames_) {
        const uint64_t at = priming_ + nextFrame_;
        if (at >= pendingAt_ + pendingFrames_ || at < pendingAt_) {
            if (!DecodeNext()) break;
            continue;
        }
        const auto offset = uint32_t(at - pendingAt_);
        const auto n = uint32_t(
            std::min<uint64_t>({pendingFrames_ - offset, frames - got, songFrames_ - nextFrame_}));
        ReduceFloatFrames(pending_ + size_t(offset) * channels, int32_t(channels),
                          ChannelOrder::kWave, n, nextFrame_, out + size_t(got) * channels);
        nextFrame_ += n;
        got += n;
    }
    return got;
}

uint32_t AacMp4Source::lengthMs() const {
    const auto rate = uint64_t(format_.sampleRateHz);
    return rate ? uint32_t(songFrames_ * 1000 / rate) : 0;
}

namespace {

const char* GapOriginWords(Mp4GapOrigin origin) {
    switch (origin) {
        case Mp4GapOrigin::kEditList:
            return "edit list";
        case Mp4GapOrigin::kITunSMPB:
            return "iTunSMPB";
        case Mp4GapOrigin::kUsualPriming:
            break;
    }
    return "the usual priming";
}

std::vector<InfoLine> DescribeMp4(const AudioSource& source, uint64_t fileBytes) {
    const auto& aac = static_cast<const AacMp4Source&>(source);
    std::vector<InfoLine> lines = DecodedStreamLines(
        aac.spectralBandReplication() ? "HE-AAC in MP4" : "AAC in MP4", aac.format().sampleRateHz,
        aac.fileChannels(), aac.totalFrames(), fileBytes);
    char gap[128];
    std::snprintf(gap, sizeof gap, "%llu samples before the song, %llu after (%s)",
                  static_cast<unsigned long long>(aac.priming()),
                  static_cast<unsigned long long>(aac.padding()), GapOriginWords(aac.gapOrigin()));
    lines.push_back({"encoder gap", gap});
    return lines;
}

}  // namespace

extern constinit const FileFormat kMp4Format = {
    .names = {"AAC"},
    .recognises = [](ByteSource& source) { return LooksLikeMp4(source); },
    .makeSource = [](InputFile& file, const SourceOptions&) -> std::unique_ptr<AudioSource> {
        return std::make_unique<AacMp4Source>(file);
    },
    .extensions = {"m4a", "mp4", "m4b"},
    .mimeTypes = {"audio/mp4", "audio/x-m4a"},
    .tags = TagLayout::kMp4,
    .describe = DescribeMp4,
};

}  // namespace zirvak
