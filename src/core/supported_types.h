// What the desktop is told Zirvak opens: the MIME types of every format of the table, then those
// of playlists. MPRIS's SupportedMimeTypes is this list; the desktop entry's MimeType= is
// checked against it.
#pragma once

#include <string>
#include <vector>

namespace zirvak {

std::vector<std::string> SupportedMimeTypes();

}  // namespace zirvak
