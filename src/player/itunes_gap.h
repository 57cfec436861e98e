// The encoder's delay and padding as iTunes records them: an ID3v2 comment (or user text)
// described "iTunSMPB", whose hexadecimal fields are a zero, the delay, the padding and the
// count of samples encoded. Used for MPEG audio that carries no LAME tag, and for AAC in MP4
// without an edit list (there the text is an `ilst` freeform item of the same name).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "byte_source.h"

namespace zirvak {

struct ITunesGap {
    uint32_t delay = 0;
    uint32_t padding = 0;
    uint64_t samples = 0;  // samples encoded, 0 when not told
};

// The fields of the text: " 00000000 00000210 000007E0 00000000000AC5B4 ...". Nothing when
// they do not read as an encoder's.
std::optional<ITunesGap> ParseITunesGap(const std::string& text);

// Reads the ID3v2 tag at the start of `source`, of `tagEnd` bytes with its header, frame by
// frame, reading the bodies of comment and user text frames only. Nothing when there is no
// such field, or it does not read as one.
std::optional<ITunesGap> ReadITunesGap(ByteSource& source, uint64_t tagEnd);

}  // namespace zirvak
