// The host's version, as the ticker movie is told it.
#pragma once

#include <string>

namespace app
{
    constexpr double TickerVersion = 3.2;

    // The shortest decimal text of the value, with the user's decimal separator.
    std::string FormatVersion(double version, const std::string& decimalSeparator);
} // namespace app
