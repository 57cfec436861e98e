// Text for a person's eyes from bytes that may not be UTF-8, such as a file's name: what is
// UTF-8 stays as it is, and every byte outside a UTF-8 sequence is read as Latin-1 (how most
// such names were written), so "caf\xE9.mp3" shows as "café.mp3" rather than as a question mark.
#pragma once

#include <string>

namespace zirvak {

// `bytes` as UTF-8 that shows each of them.
std::string ReadableText(const std::string& bytes);

}  // namespace zirvak
