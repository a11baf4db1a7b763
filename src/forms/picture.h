// Pictures from the program's resources: uncompressed Windows bitmaps.
#pragma once

#include "os/os.h"

#include <cstdint>
#include <span>
#include <string>

namespace forms
{
    // Decodes a BMP file of 24 or 32 bits per pixel without compression, stored
    // bottom-up or top-down. Anything else, or data that is cut short, gives an
    // empty bitmap.
    os::Bitmap DecodeBmp(std::span<const std::uint8_t> data, std::string name);

    // The bitmap stored as the program's resource `name` (empty when missing).
    os::Bitmap LoadPictureResource(os::IProcess& process, const std::string& name);
} // namespace forms
