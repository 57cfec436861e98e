#include "audio_source_factory.h"

#include "flac_source.h"
#include "mpeg_source.h"
#include "opus_source.h"
#include "vorbis_source.h"
#include "wav_file.h"
#include "wav_source.h"

namespace zirvak {

std::unique_ptr<AudioSource> MakeAudioSource(InputFile& file, uint32_t clipStartMs,
                                             uint32_t clipEndMs) {
    if (LooksLikeWav(file)) return std::make_unique<WavSource>(file);
    if (LooksLikeFlac(file)) return std::make_unique<FlacSource>(file);
    if (LooksLikeOgg(file, OggCodec::kVorbis)) return std::make_unique<VorbisSource>(file);
    if (LooksLikeOgg(file, OggCodec::kOpus)) return std::make_unique<OpusSource>(file);
    return std::make_unique<MpegSource>(file, clipStartMs, clipEndMs);
}

}  // namespace zirvak
