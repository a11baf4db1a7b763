// UTF-8 checks and conversions between the movies' UTF-8 and the seam's wide text
// (UTF-16 code units, whatever the width of wchar_t).
#pragma once

#include <string>
#include <string_view>

namespace player::movie
{
    // Well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
    bool IsUtf8(std::string_view text);
    // Malformed sequences become U+FFFD.
    std::wstring Utf8ToWide(std::string_view text);
    // Unpaired surrogates become U+FFFD.
    std::string WideToUtf8(std::wstring_view text);
} // namespace player::movie
