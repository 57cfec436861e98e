// Which source plays a file, by what its bytes are: a WAV file by its RIFF header, FLAC by its
// "fLaC" marker, Ogg Vorbis and Opus by the first packet of their first page (each also after
// an ID3v2 tag), anything else as MPEG audio (whose frames are found
// wherever they start, so it is tried last). A new kind of file is a new source, recognised
// here before MPEG audio is tried.
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

// The source for a file of a compressed kind other than MPEG audio (FLAC, Ogg), or null for
// any other file: for tools that read WAV and MPEG files their own way.
std::unique_ptr<AudioSource> MakeCompressedSource(InputFile& file);

}  // namespace zirvak
