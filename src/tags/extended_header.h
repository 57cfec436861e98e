// ID3v2 extended headers, which TagLib 1.13 misreads. It takes a 2.3 header's size as counting
// the size field itself, as 2.4's does (2.3's does not), so it looks for frames inside the
// header and finds none; with a 2.4 header it stops short of the tag's end and drops a last frame
// that little or no padding follows. An extended header holds nothing the player shows (a CRC,
// the padding's size, restrictions, the update flag), so TagLib is shown the tag without it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zirvak {

// Bytes enough of a file's start to find its extended header's length.
inline constexpr size_t kExtendedHeaderLookahead = 64;

struct TagStartWithoutExtendedHeader {
    std::array<uint8_t, 10> header;  // the tag's header, its flag and size made to match
    size_t replacedBytes;            // the file bytes it stands for: header and extended header
};

// For a file starting with an ID3v2.3 or 2.4 tag that has an extended header of a length its
// version allows: what to show TagLib in place of the tag's header and the extended header.
// A 2.3 extended header is read through the tag's unsynchronisation.
std::optional<TagStartWithoutExtendedHeader> WithoutExtendedHeader(
    std::span<const uint8_t> fileStart);

}  // namespace zirvak
