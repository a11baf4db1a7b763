#include "app/version.h"

#include <charconv>

namespace app
{
    std::string FormatVersion(double version, const std::string& decimalSeparator)
    {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, version);
        std::string text(buffer, result.ptr);
        if (const auto dot = text.find('.'); dot != std::string::npos)
            text.replace(dot, 1, decimalSeparator);
        return text;
    }
} // namespace app
