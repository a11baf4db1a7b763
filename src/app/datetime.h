// Local date and time arithmetic for the ticker's clocks.
#pragma once

#include "os/types.h"

#include <cstdint>

namespace app
{
    // Milliseconds since 1 January 1601 (the proleptic Gregorian calendar).
    std::int64_t ToMilliseconds(const os::SystemTime& t);

    // Whole hours between two moments, whichever comes first.
    std::int64_t WholeHoursBetween(const os::SystemTime& a, const os::SystemTime& b);
} // namespace app
