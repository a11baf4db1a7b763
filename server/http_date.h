// HTTP dates: the preferred form "Sun, 06 Nov 1994 08:49:37 GMT" written, and that
// form, the obsolete RFC 850 form and the C asctime form read.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace content
{
    std::string FormatHttpDate(std::time_t when);

    // The moment the text names, or nothing when it is not an HTTP date.
    std::optional<std::time_t> ParseHttpDate(std::string_view text);
} // namespace content
