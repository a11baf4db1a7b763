// The ticker's settings under one registry key of the current user, the log-on
// Run entry, and the user identifier's format.
#pragma once

#include "os/types.h"

#include <cstdint>
#include <string>

namespace app
{
    // The settings key, as the settings accesses name it.
    constexpr const char* SettingsKey = "\\Software\\Norvale\\Vodazovovarar";
    // The log-on Run key and the name of the ticker's entry in it.
    constexpr const char* RunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    constexpr const char* RunValueName = "Norvale Desktop Ticker";

    // "yymmddhhmmss" "_" bias "_" draw, as made at the first start.
    std::string FormatUserId(const os::SystemTime& now, long bias, int draw);

    // A pseudo-random number from 0 to range - 1, drawn from a generator seeded with
    // `seed` (a linear congruential generator: seed * 134775813 + 1, scaled by range).
    int RandomBelow(std::uint32_t seed, int range);

    // `url` with the user identifier appended as the query parameter tid: after "&"
    // when the address holds a "?" anywhere, otherwise after "?".
    std::string WithTid(const std::string& url, const std::string& userId);
} // namespace app
