// The desktop toolbar's model: its edges, flags and taskbar-entry choices, and the
// settings record that is stored byte for byte as one registry value.
#pragma once

#include "os/types.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace appbar
{
    enum TAppBarEdge : std::uint8_t
    {
        abeLeft = 0, // the shell's ABE_LEFT .. ABE_BOTTOM
        abeTop = 1,
        abeRight = 2,
        abeBottom = 3,
        abeUnknown = 4, // not registered; as a proposed edge: no move in progress
        abeFloat = 5,   // registered, reserving nothing, at the float rectangle
    };

    enum TAppBarFlag : std::uint8_t
    {
        abfAllowLeft = 0,
        abfAllowTop = 1,
        abfAllowRight = 2,
        abfAllowBottom = 3,
        abfAllowFloat = 4,
    };

    // A set of TAppBarFlag, bit n for ordinal n.
    using TAppBarFlags = std::uint8_t;
    constexpr TAppBarFlags FlagBit(TAppBarFlag f)
    {
        return static_cast<TAppBarFlags>(1u << f);
    }
    constexpr TAppBarFlags AllFlags = 0x1F;
    constexpr TAppBarFlags DockFlags = 0x0F;
    constexpr bool Has(TAppBarFlags flags, TAppBarFlag f)
    {
        return (flags & FlagBit(f)) != 0;
    }

    enum TAppBarTaskEntry : std::uint8_t
    {
        abtShow = 0,
        abtHide = 1,
        abtFloatDependent = 2,
    };

    constexpr bool IsVerticalEdge(TAppBarEdge e)
    {
        return e == abeLeft || e == abeRight;
    }
    constexpr bool IsHorizontalEdge(TAppBarEdge e)
    {
        return e == abeTop || e == abeBottom;
    }
    constexpr bool IsDockedEdge(TAppBarEdge e)
    {
        return e <= abeBottom;
    }

    // The persisted properties. Field order and widths are the stored record's.
    struct TAppBarSettings
    {
        std::uint32_t size = 84;
        TAppBarEdge edge = abeFloat;
        TAppBarFlags flags = AllFlags;
        // One-byte Booleans, kept as stored: any byte but 0 is true, and a record
        // is saved again exactly as it was loaded.
        std::uint8_t autoHide = 0;
        std::uint8_t alwaysOnTop = 1;
        std::uint8_t slideEffect = 1;
        std::array<std::uint8_t, 3> reserved1{};
        std::int32_t slideTime = 400;
        std::int32_t horzSizeInc = 1;
        std::int32_t vertSizeInc = 1;
        std::int32_t vertDockSize = 32;
        std::int32_t horzDockSize = 32;
        std::int32_t floatLeft = 0;
        std::int32_t floatTop = 0;
        std::int32_t floatRight = 0;
        std::int32_t floatBottom = 0;
        std::int32_t minWidth = 0;
        std::int32_t minHeight = 0;
        std::int32_t maxWidth = 0; // the screen width, set at construction
        std::int32_t maxHeight = 0;
        std::int32_t minVertDockSize = 0;
        std::int32_t minHorzDockSize = 0;
        std::int32_t maxVertDockSize = 0; // half the screen width, set at construction
        std::int32_t maxHorzDockSize = 0;
        TAppBarTaskEntry taskEntry = abtFloatDependent;
        std::array<std::uint8_t, 3> reserved2{};

        friend bool operator==(const TAppBarSettings&, const TAppBarSettings&) = default;
    };

    constexpr std::size_t SettingsRecordSize = 84;
    using SettingsRecord = std::array<std::uint8_t, SettingsRecordSize>;

    // The stored form: little-endian integers, one-byte Booleans, reserved bytes kept.
    SettingsRecord ToRecord(const TAppBarSettings& s);
    // Refuses data of any other length, and records that cannot describe a toolbar:
    // an edge or taskbar-entry ordinal out of range, or flag bits beyond the five.
    // A Boolean byte reads as true when it is not 0 and is carried unchanged.
    std::optional<TAppBarSettings> FromRecord(std::span<const std::uint8_t> data);
} // namespace appbar
