#include "app/settings.h"

#include <cstdio>

namespace app
{
    std::string FormatUserId(const os::SystemTime& now, long bias, int draw)
    {
        char stamp[40];
        std::snprintf(stamp, sizeof stamp, "%02u%02u%02u%02u%02u%02u", static_cast<unsigned>(now.year % 100), now.month, now.day,
                      now.hour, now.minute, now.second);
        return std::string(stamp) + "_" + std::to_string(bias) + "_" + std::to_string(draw);
    }

    int RandomBelow(std::uint32_t seed, int range)
    {
        const std::uint32_t next = seed * 134775813u + 1u;
        return static_cast<int>((static_cast<std::uint64_t>(next) * static_cast<std::uint64_t>(range)) >> 32);
    }

    std::string WithTid(const std::string& url, const std::string& userId)
    {
        return url + (url.find('?') != std::string::npos ? "&tid=" : "?tid=") + userId;
    }
} // namespace app
