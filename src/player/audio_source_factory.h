// The source that plays a file, by what its bytes are (format_table.h): the engine's way to it.
#pragma once

#include <cstdint>
#include <memory>

#include "audio_source.h"
#include "input_file.h"

namespace zirvak {

// A source for the open `file` that plays the clip [clipStartMs, clipEndMs] (a file of any kind
// but MPEG audio plays whole). It reads nothing more of the file until its first Start.
// With `gapless`, an MPEG stream whose clip starts at its start plays without the silence its
// encoder added before and after the song (gapless_mpeg_source.h).
std::unique_ptr<AudioSource> MakeAudioSource(InputFile& file, uint32_t clipStartMs,
                                             uint32_t clipEndMs, bool gapless = false);

}  // namespace zirvak
