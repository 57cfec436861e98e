// Text from outside the program made safe to print on a terminal. A file name is bytes in
// whatever encoding, and may hold line breaks or escape sequences that a terminal would act on.
#pragma once

#include <string>
#include <string_view>

namespace zirvak::cli {

// `bytes` as one line to print: well-formed UTF-8 is kept as it is; control characters (C0,
// DEL, C1) and bytes that are not part of well-formed UTF-8 are written as \xNN, one per byte,
// and a backslash that could be read as such an escape is doubled (readable_text.h).
std::string Printable(std::string_view bytes);

}  // namespace zirvak::cli
