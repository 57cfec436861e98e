#include "audio_source_factory.h"

#include <string>
#include <utility>

#include "flac_source.h"
#include "gapless_mpeg_source.h"
#include "mpeg_source.h"
#include "opus_source.h"
#include "vorbis_source.h"
#include "wav_file.h"
#include "wav_source.h"

namespace zirvak {

namespace {

// A file known by its content as a kind of audio the player has no decoder for.
class RefusingSource final : public AudioSource {
public:
    explicit RefusingSource(std::string why) : why_(std::move(why)) {}
    RunStart Start(std::optional<uint32_t>) override {
        RunStart run;
        run.problem = FileProblem::kUnsupported;
        run.detail = why_;
        return run;
    }
    SourceBuffer Fill(uint8_t, uint32_t) override { return {}; }
    AudioFormat format() const override { return {}; }
    uint32_t lengthMs() const override { return 0; }
    bool fileChanged() const override { return false; }

private:
    std::string why_;
};

}  // namespace

std::unique_ptr<AudioSource> MakeCompressedSource(InputFile& file) {
    if (LooksLikeFlac(file)) return std::make_unique<FlacSource>(file);
    if (LooksLikeOgg(file, OggCodec::kVorbis)) return std::make_unique<VorbisSource>(file);
    if (LooksLikeOgg(file, OggCodec::kOpus)) return std::make_unique<OpusSource>(file);
    // Other Ogg streams (Speex, FLAC in Ogg, video) are never taken for MPEG audio.
    if (LooksLikeOgg(file, OggCodec::kOther))
        return std::make_unique<RefusingSource>("an Ogg stream of neither Vorbis nor Opus");
    return nullptr;
}

std::unique_ptr<AudioSource> MakeAudioSource(InputFile& file, uint32_t clipStartMs,
                                             uint32_t clipEndMs, bool gapless) {
    if (LooksLikeWav(file)) return std::make_unique<WavSource>(file);
    if (auto source = MakeCompressedSource(file)) return source;
    if (gapless && clipStartMs == 0) return std::make_unique<GaplessMpegSource>(file, clipEndMs);
    return std::make_unique<MpegSource>(file, clipStartMs, clipEndMs);
}

}  // namespace zirvak
