// Where a stream of a kind known by its first bytes begins: at the start of the file or just
// after the ID3v2 tags some programs put before any kind of audio.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "byte_source.h"

namespace zirvak {

// The offset of `marker` at the start of `source` or right after its ID3v2 tags, or nothing.
std::optional<uint64_t> MarkerAfterTags(ByteSource& source, std::string_view marker);

// The kind of the first stream of an Ogg file: its first page's first packet names its codec.
enum class OggCodec { kNone, kVorbis, kOpus, kOther };
// The codec of the Ogg stream at `offset` (where "OggS" lies).
OggCodec OggCodecAt(ByteSource& source, uint64_t offset);

}  // namespace zirvak
