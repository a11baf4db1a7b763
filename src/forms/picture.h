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

    // The program's artwork is drawn at 100, 150 and 200 percent: `name`,
    // `name`_150 and `name`_200. The scale in percent drawn nearest to `dpi` (the
    // smaller of two as near; 200 above it): a picture is shown pixel for pixel,
    // never stretched.
    int ArtworkScale(int dpi);
    // The resource name of the artwork `name` for `dpi`.
    std::string ArtworkName(const std::string& name, int dpi);
    // The bitmap of the artwork for `dpi`; a missing scale falls back to the
    // next smaller one drawn.
    os::Bitmap LoadArtwork(os::IProcess& process, const std::string& name, int dpi);
    // The picture in two colours, for a high-contrast theme: its darkest pixels
    // take `dark`, its lightest `light` and the others a blend by their lightness.
    os::Bitmap TwoTone(os::Bitmap picture, os::Color dark, os::Color light);
} // namespace forms
