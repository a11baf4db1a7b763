// JPEG pictures, decoded with libjpeg.
#pragma once

#include "os/os.h"

#include <cstdint>
#include <span>
#include <string>

namespace forms
{
    constexpr int MaxJpegSide = 16384;

    // Decodes a baseline or progressive JPEG (greyscale or colour) into a bitmap;
    // damaged or cut-short data, or a picture wider or higher than maxSide, gives
    // an empty bitmap. The size is checked in the header, before anything is
    // allocated for the picture; `tooLarge` (when given) tells that case apart.
    os::Bitmap DecodeJpeg(std::span<const std::uint8_t> data, std::string name, int maxSide = MaxJpegSide,
                          bool* tooLarge = nullptr);

    // The JPEG stored as the program's resource `name` (empty when missing).
    os::Bitmap LoadJpegResource(os::IProcess& process, const std::string& name);
} // namespace forms
