// The toolbar's settings record as read back from the registry: any bytes.
#include "appbar/settings.h"
#include "check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto settings = appbar::FromRecord(std::span<const std::uint8_t>(data, size));
    if (!settings)
        return 0;
    FUZZ_CHECK(size == appbar::SettingsRecordSize);
    FUZZ_CHECK(settings->edge <= appbar::abeFloat);
    FUZZ_CHECK(settings->taskEntry <= appbar::abtFloatDependent);
    FUZZ_CHECK((settings->flags & ~appbar::AllFlags) == 0);
    // A record that loads is saved again byte for byte.
    const appbar::SettingsRecord again = appbar::ToRecord(*settings);
    FUZZ_CHECK(std::equal(again.begin(), again.end(), data));
    return 0;
}
