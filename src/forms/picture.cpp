#include "forms/picture.h"

#include <cstdlib>

namespace forms
{
    namespace
    {
        std::uint32_t U32(std::span<const std::uint8_t> d, std::size_t at)
        {
            return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<std::uint32_t>(d[at + 3]) << 24);
        }
        std::uint16_t U16(std::span<const std::uint8_t> d, std::size_t at)
        {
            return static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8));
        }
    } // namespace

    os::Bitmap DecodeBmp(std::span<const std::uint8_t> d, std::string name)
    {
        constexpr std::size_t fileHeader = 14;
        if (d.size() < fileHeader + 40 || d[0] != 'B' || d[1] != 'M')
            return {};
        const std::uint32_t pixelsAt = U32(d, 10);
        const std::uint32_t infoSize = U32(d, fileHeader);
        if (infoSize < 40 || fileHeader + infoSize > d.size())
            return {};
        const auto width = static_cast<std::int32_t>(U32(d, fileHeader + 4));
        const auto rawHeight = static_cast<std::int32_t>(U32(d, fileHeader + 8));
        const std::uint16_t bits = U16(d, fileHeader + 14);
        const std::uint32_t compression = U32(d, fileHeader + 16);
        constexpr std::uint32_t biRgb = 0;
        constexpr std::uint32_t biBitfields = 3;
        if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || width > 16384 || std::abs(rawHeight) > 16384)
            return {};
        if (!((bits == 24 && compression == biRgb) || (bits == 32 && (compression == biRgb || compression == biBitfields))))
            return {};
        const bool topDown = rawHeight < 0;
        const int height = std::abs(rawHeight);
        const std::size_t bytesPerPixel = bits / 8;
        const std::size_t stride = (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t{ 3 };
        if (pixelsAt > d.size() || stride * static_cast<std::size_t>(height) > d.size() - pixelsAt)
            return {};
        os::Bitmap b;
        b.width = width;
        b.height = height;
        b.name = std::move(name);
        b.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y)
        {
            const int row = topDown ? y : height - 1 - y;
            const std::size_t at = pixelsAt + static_cast<std::size_t>(row) * stride;
            for (int x = 0; x < width; ++x)
            {
                const std::size_t p = at + static_cast<std::size_t>(x) * bytesPerPixel;
                b.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                    (static_cast<std::uint32_t>(d[p + 2]) << 16) | (static_cast<std::uint32_t>(d[p + 1]) << 8) | d[p];
            }
        }
        return b;
    }

    os::Bitmap LoadPictureResource(os::IProcess& process, const std::string& name)
    {
        const auto data = process.LoadResourceData(name);
        return DecodeBmp(data, name);
    }

    int ArtworkScale(int dpi)
    {
        // Percent = dpi * 100 / 96; 125 % (120 dpi) and 175 % (168) lie halfway.
        if (dpi <= 120)
            return 100;
        if (dpi <= 168)
            return 150;
        return 200;
    }

    std::string ArtworkName(const std::string& name, int dpi)
    {
        const int scale = ArtworkScale(dpi);
        return scale == 100 ? name : name + "_" + std::to_string(scale);
    }

    os::Bitmap LoadArtwork(os::IProcess& process, const std::string& name, int dpi)
    {
        for (const int fallback : { dpi, 144, 96 })
        {
            if (fallback > dpi)
                continue;
            os::Bitmap b = LoadPictureResource(process, ArtworkName(name, fallback));
            if (!b.Empty())
                return b;
        }
        return {};
    }

    os::Bitmap TwoTone(os::Bitmap picture, os::Color dark, os::Color light)
    {
        // Colours are 0x00BBGGRR, pixels 0x00RRGGBB.
        auto channel = [](os::Color c, int shift)
        {
            return static_cast<int>((c >> shift) & 0xFF);
        };
        const int dr = channel(dark, 0), dg = channel(dark, 8), db = channel(dark, 16);
        const int lr = channel(light, 0), lg = channel(light, 8), lb = channel(light, 16);
        for (std::uint32_t& p : picture.pixels)
        {
            const int r = static_cast<int>(p >> 16 & 0xFF), g = static_cast<int>(p >> 8 & 0xFF), b = static_cast<int>(p & 0xFF);
            const int y = (r * 299 + g * 587 + b * 114) / 1000; // 0 .. 255
            auto mix = [y](int from, int to)
            {
                return static_cast<std::uint32_t>(from + (to - from) * y / 255);
            };
            p = mix(dr, lr) << 16 | mix(dg, lg) << 8 | mix(db, lb);
        }
        return picture;
    }
} // namespace forms
