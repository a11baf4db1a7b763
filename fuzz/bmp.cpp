// The bitmap decoder: any bytes as a BMP file.
#include "check.h"
#include "forms/picture.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const os::Bitmap b = forms::DecodeBmp(std::span<const std::uint8_t>(data, size), "fuzz.bmp");
    if (b.Empty())
    {
        FUZZ_CHECK(b.pixels.empty());
        return 0;
    }
    FUZZ_CHECK(b.pixels.size() == static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height));
    // Uncompressed: every pixel of 3 or 4 bytes came from the file.
    FUZZ_CHECK(b.pixels.size() * 3 <= size);
    return 0;
}
