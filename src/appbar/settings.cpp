#include "appbar/settings.h"

#include <cstring>

namespace appbar
{
    namespace
    {
        class Writer
        {
          public:
            explicit Writer(SettingsRecord& out) : _out(out) {}
            void U8(std::uint8_t v) { _out[_at++] = v; }
            void U32(std::uint32_t v)
            {
                for (int i = 0; i < 4; ++i)
                    U8(static_cast<std::uint8_t>(v >> (8 * i)));
            }
            void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
            void Bytes(const std::array<std::uint8_t, 3>& b)
            {
                for (auto v : b)
                    U8(v);
            }
            std::size_t At() const { return _at; }

          private:
            SettingsRecord& _out;
            std::size_t _at = 0;
        };

        class Reader
        {
          public:
            explicit Reader(std::span<const std::uint8_t> in) : _in(in) {}
            std::uint8_t U8() { return _in[_at++]; }
            std::uint32_t U32()
            {
                std::uint32_t v = 0;
                for (int i = 0; i < 4; ++i)
                    v |= static_cast<std::uint32_t>(U8()) << (8 * i);
                return v;
            }
            std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
            std::array<std::uint8_t, 3> Bytes() { return { U8(), U8(), U8() }; }

          private:
            std::span<const std::uint8_t> _in;
            std::size_t _at = 0;
        };
    } // namespace

    SettingsRecord ToRecord(const TAppBarSettings& s)
    {
        SettingsRecord out{};
        Writer w(out);
        w.U32(s.size);
        w.U8(s.edge);
        w.U8(s.flags);
        w.U8(s.autoHide);
        w.U8(s.alwaysOnTop);
        w.U8(s.slideEffect);
        w.Bytes(s.reserved1);
        for (std::int32_t v : { s.slideTime, s.horzSizeInc, s.vertSizeInc, s.vertDockSize, s.horzDockSize, s.floatLeft,
                                s.floatTop, s.floatRight, s.floatBottom, s.minWidth, s.minHeight, s.maxWidth, s.maxHeight,
                                s.minVertDockSize, s.minHorzDockSize, s.maxVertDockSize, s.maxHorzDockSize })
            w.I32(v);
        w.U8(s.taskEntry);
        w.Bytes(s.reserved2);
        return out;
    }

    std::optional<TAppBarSettings> FromRecord(std::span<const std::uint8_t> data)
    {
        if (data.size() != SettingsRecordSize)
            return std::nullopt;
        Reader r(data);
        TAppBarSettings s;
        s.size = r.U32();
        const std::uint8_t edge = r.U8();
        const std::uint8_t flags = r.U8();
        s.autoHide = r.U8();
        s.alwaysOnTop = r.U8();
        s.slideEffect = r.U8();
        s.reserved1 = r.Bytes();
        for (std::int32_t* v : { &s.slideTime, &s.horzSizeInc, &s.vertSizeInc, &s.vertDockSize, &s.horzDockSize, &s.floatLeft,
                                 &s.floatTop, &s.floatRight, &s.floatBottom, &s.minWidth, &s.minHeight, &s.maxWidth, &s.maxHeight,
                                 &s.minVertDockSize, &s.minHorzDockSize, &s.maxVertDockSize, &s.maxHorzDockSize })
            *v = r.I32();
        const std::uint8_t task = r.U8();
        s.reserved2 = r.Bytes();
        if (edge > abeFloat || task > abtFloatDependent || (flags & ~AllFlags) != 0)
            return std::nullopt;
        s.edge = static_cast<TAppBarEdge>(edge);
        s.flags = flags;
        s.taskEntry = static_cast<TAppBarTaskEntry>(task);
        return s;
    }
} // namespace appbar
