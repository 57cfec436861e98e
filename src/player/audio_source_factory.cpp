#include "audio_source_factory.h"

#include "format_table.h"

namespace zirvak {

std::unique_ptr<AudioSource> MakeAudioSource(InputFile& file, uint32_t clipStartMs,
                                             uint32_t clipEndMs, bool gapless) {
    return FormatOf(file).makeSource(file, {clipStartMs, clipEndMs, gapless});
}

}  // namespace zirvak
