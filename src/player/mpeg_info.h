// What `zirvak-cli info` says of an MPEG stream: version and layer, rate, channels and mode,
// bit rate (or "variable", with the VBR header or the average), frames and duration, the
// encoder's gap and the gapless length where the stream tells them, and the damage found.
#pragma once

#include <vector>

#include "info_lines.h"
#include "mpeg_stream.h"

namespace zirvak {

std::vector<InfoLine> DescribeMpegStream(const MpegStream& stream);

}  // namespace zirvak
