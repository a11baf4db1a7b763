// Decoding the program's bitmaps, and refusing what is not one.
#include "forms/picture.h"

#include <gtest/gtest.h>

namespace
{
    // A BMP file of the given size and depth whose pixel (x, y) has blue x, green y, red 7.
    std::vector<std::uint8_t> MakeBmp(int width, int height, int bits, bool topDown)
    {
        const int bytes = bits / 8;
        const int stride = (width * bytes + 3) & ~3;
        std::vector<std::uint8_t> d(54 + static_cast<std::size_t>(stride * height), 0);
        auto put32 = [&](std::size_t at, std::uint32_t v)
        {
            for (int i = 0; i < 4; ++i)
                d[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        };
        d[0] = 'B';
        d[1] = 'M';
        put32(2, static_cast<std::uint32_t>(d.size()));
        put32(10, 54);
        put32(14, 40);
        put32(18, static_cast<std::uint32_t>(width));
        put32(22, static_cast<std::uint32_t>(topDown ? -height : height));
        d[26] = 1;
        d[28] = static_cast<std::uint8_t>(bits);
        for (int y = 0; y < height; ++y)
        {
            const int row = topDown ? y : height - 1 - y;
            for (int x = 0; x < width; ++x)
            {
                const std::size_t p = 54 + static_cast<std::size_t>(row * stride + x * bytes);
                d[p] = static_cast<std::uint8_t>(x);
                d[p + 1] = static_cast<std::uint8_t>(y);
                d[p + 2] = 7;
            }
        }
        return d;
    }
} // namespace

TEST(Picture, RowsComeOutTopDownWhicheverWayTheyAreStored)
{
    for (bool topDown : { false, true })
        for (int bits : { 24, 32 })
        {
            const auto b = forms::DecodeBmp(MakeBmp(3, 2, bits, topDown), "test");
            ASSERT_EQ(b.width, 3);
            ASSERT_EQ(b.height, 2);
            EXPECT_EQ(b.pixels[0], 0x070000u) << "top-left";
            EXPECT_EQ(b.pixels[2], 0x070002u) << "top-right";
            EXPECT_EQ(b.pixels[3], 0x070100u) << "bottom-left";
            EXPECT_EQ(b.name, "test");
        }
}

TEST(Picture, AnythingElseGivesNoPicture)
{
    auto good = MakeBmp(3, 2, 24, false);
    EXPECT_TRUE(forms::DecodeBmp({ good.data(), good.size() - 1 }, "cut").Empty()) << "pixels cut short";
    auto magic = good;
    magic[0] = 'X';
    EXPECT_TRUE(forms::DecodeBmp(magic, "magic").Empty());
    auto paletted = good;
    paletted[28] = 8;
    EXPECT_TRUE(forms::DecodeBmp(paletted, "8 bits").Empty());
    auto huge = good;
    huge[21] = 0x7F; // an absurd width
    EXPECT_TRUE(forms::DecodeBmp(huge, "huge").Empty());
    auto offset = good;
    offset[13] = 0x7F; // pixels said to start far beyond the file
    EXPECT_TRUE(forms::DecodeBmp(offset, "offset").Empty());
    EXPECT_TRUE(forms::DecodeBmp({}, "empty").Empty());
}

TEST(Picture, TwoToneMapsDarkToLightOntoTheThemesColoursByLightness)
{
    os::Bitmap b;
    b.width = 3;
    b.height = 1;
    b.pixels = { 0x000000, 0xFFFFFF, 0x808080 }; // 0x00RRGGBB
    const os::Color dark = os::Rgb(0, 0, 128), light = os::Rgb(255, 255, 0);
    const os::Bitmap t = forms::TwoTone(b, dark, light);
    ASSERT_EQ(t.pixels.size(), 3u);
    EXPECT_EQ(t.pixels[0], 0x000080u) << "black takes the dark colour";
    EXPECT_EQ(t.pixels[1], 0xFFFF00u) << "white takes the light one";
    EXPECT_EQ(t.pixels[2], 0x808040u) << "grey lies half-way: red and green rise, blue falls";
}
