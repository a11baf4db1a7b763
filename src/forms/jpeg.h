// JPEG pictures, decoded with libjpeg.
#pragma once

#include "os/os.h"

#include <cstdint>
#include <span>
#include <string>

namespace forms
{
    // Decodes a baseline or progressive JPEG (greyscale or colour) into a bitmap;
    // damaged or cut-short data gives an empty bitmap.
    os::Bitmap DecodeJpeg(std::span<const std::uint8_t> data, std::string name);

    // The JPEG stored as the program's resource `name` (empty when missing).
    os::Bitmap LoadJpegResource(os::IProcess& process, const std::string& name);
} // namespace forms
