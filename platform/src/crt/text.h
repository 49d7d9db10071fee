// UTF-16 <-> UTF-8 for host names, and the handset's case folding.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// A lone surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view text);
// A malformed byte stands for itself (Latin-1), as the handset's 8-bit widening would read it.
std::u16string toUtf16(std::string_view text);

// Lower case for ASCII and Latin-1 letters; other units unchanged.
char16_t foldCase(char16_t c);
bool equalsNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace platform
