// The JPEG decoder: any bytes as a JPEG file.
#include "forms/jpeg.h"
#include "check.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const os::Bitmap b = forms::DecodeJpeg(std::span<const std::uint8_t>(data, size), "fuzz.jpg");
    if (b.Empty())
    {
        FUZZ_CHECK(b.pixels.empty());
        return 0;
    }
    FUZZ_CHECK(b.pixels.size() == static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height));
    return 0;
}
