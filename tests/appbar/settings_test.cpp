// The settings record: its stored byte layout, and what a load refuses.
#include "appbar/settings.h"

#include <gtest/gtest.h>

using namespace appbar;

namespace
{
    std::uint32_t U32At(const SettingsRecord& r, std::size_t at)
    {
        return r[at] | (r[at + 1] << 8) | (r[at + 2] << 16) | (static_cast<std::uint32_t>(r[at + 3]) << 24);
    }
} // namespace

TEST(SettingsRecord, EveryFieldLiesAtItsOffsetLittleEndian)
{
    TAppBarSettings s;
    s.edge = abeBottom;
    s.flags = FlagBit(abfAllowTop) | FlagBit(abfAllowFloat);
    s.autoHide = true;
    s.alwaysOnTop = false;
    s.slideEffect = true;
    s.slideTime = 400;
    s.horzSizeInc = 5;
    s.vertSizeInc = 6;
    s.vertDockSize = 7;
    s.horzDockSize = 25;
    s.floatLeft = -683;
    s.floatTop = 100;
    s.floatRight = 803;
    s.floatBottom = 125;
    s.minWidth = 11;
    s.minHeight = 12;
    s.maxWidth = 10000;
    s.maxHeight = 14;
    s.minVertDockSize = 15;
    s.minHorzDockSize = 16;
    s.maxVertDockSize = 17;
    s.maxHorzDockSize = 18;
    s.taskEntry = abtHide;
    const SettingsRecord r = ToRecord(s);
    EXPECT_EQ(U32At(r, 0), 84u);
    EXPECT_EQ(r[4], 3);
    EXPECT_EQ(r[5], 0x12);
    EXPECT_EQ(r[6], 1);
    EXPECT_EQ(r[7], 0);
    EXPECT_EQ(r[8], 1);
    EXPECT_EQ(r[9] | r[10] | r[11], 0);
    const std::int32_t expected[] = { 400, 5, 6, 7, 25, -683, 100, 803, 125, 11, 12, 10000, 14, 15, 16, 17, 18 };
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(static_cast<std::int32_t>(U32At(r, 12 + 4 * i)), expected[i]) << "field at offset " << 12 + 4 * i;
    EXPECT_EQ(r[80], 1);
    EXPECT_EQ(r[81] | r[82] | r[83], 0);
}

TEST(SettingsRecord, ARecordComesBackByteForByteWithItsSizeFieldAndReservedBytes)
{
    SettingsRecord r = ToRecord(TAppBarSettings{});
    r[0] = 0x99; // the size field is not checked on load
    r[7] = 2;    // a Boolean byte other than 0 or 1 is true and stays as it was
    r[8] = 0xFF;
    r[9] = 0xAB; // reserved bytes are carried through
    r[83] = 0xCD;
    auto loaded = FromRecord(r);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(ToRecord(*loaded), r);
}

TEST(SettingsRecord, OnlyExactlyEightyFourBytesLoad)
{
    const SettingsRecord r = ToRecord(TAppBarSettings{});
    std::vector<std::uint8_t> shorter(r.begin(), r.end() - 1);
    std::vector<std::uint8_t> longer(r.begin(), r.end());
    longer.push_back(0);
    EXPECT_FALSE(FromRecord(shorter));
    EXPECT_FALSE(FromRecord(longer));
    EXPECT_TRUE(FromRecord(r));
}

TEST(SettingsRecord, ARecordThatCannotDescribeAToolbarIsRefusedWhole)
{
    SettingsRecord r = ToRecord(TAppBarSettings{});
    auto with = [&](std::size_t at, std::uint8_t v)
    {
        SettingsRecord c = r;
        c[at] = v;
        return FromRecord(c);
    };
    EXPECT_TRUE(with(4, 5)) << "abeFloat is the last edge";
    EXPECT_FALSE(with(4, 6));
    EXPECT_FALSE(with(4, 0xFF));
    EXPECT_TRUE(with(80, 2));
    EXPECT_FALSE(with(80, 3));
    EXPECT_TRUE(with(5, 0x1F));
    EXPECT_FALSE(with(5, 0x20));
    EXPECT_FALSE(with(5, 0x80));
    auto truthy = with(6, 2);
    ASSERT_TRUE(truthy);
    EXPECT_TRUE(truthy->autoHide) << "any byte but 0 is true";
}
