#include "app/datetime.h"

#include <cstdlib>

namespace app
{
    namespace
    {
        std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
        {
            y -= m <= 2;
            const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
            const auto yoe = static_cast<unsigned>(y - era * 400);
            const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
            const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
            return era * 146097 + static_cast<std::int64_t>(doe) - 719468 + 134774; // days since 1601-01-01
        }
    } // namespace

    std::int64_t ToMilliseconds(const os::SystemTime& t)
    {
        const std::int64_t days = DaysFromCivil(t.year, t.month, t.day);
        return ((days * 24 + t.hour) * 60 + t.minute) * 60'000 + t.second * 1000 + t.milliseconds;
    }

    std::int64_t WholeHoursBetween(const os::SystemTime& a, const os::SystemTime& b)
    {
        return std::llabs(ToMilliseconds(a) - ToMilliseconds(b)) / 3'600'000;
    }
} // namespace app
