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

// True when `source` holds an Ogg stream (its first page at the start or after ID3v2 tags)
// whose first packet starts with `packetStart`: the codec's name. An empty `packetStart` asks
// only whether there is an Ogg stream at all.
bool OggStreamStartsWith(ByteSource& source, std::string_view packetStart);

}  // namespace zirvak
