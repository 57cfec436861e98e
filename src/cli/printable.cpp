#include "printable.h"

#include "readable_text.h"

namespace zirvak::cli {

std::string Printable(std::string_view bytes) {
    return PrintableText(bytes);
}

}  // namespace zirvak::cli
