#include "server/text.h"

#include <array>
#include <cstdint>

namespace content
{
    namespace
    {
        constexpr std::string_view Replacement = "\xEF\xBF\xBD";

        // The code points of the bytes 0x80 to 0x9F; 0 where the code page has none.
        constexpr std::array<std::uint16_t, 32> HighControls = {
            0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
            0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
            0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
        };

        void AppendUtf8(std::string& out, std::uint32_t cp)
        {
            if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                cp = 0xFFFD;
            if (cp < 0x80)
                out += static_cast<char>(cp);
            else if (cp < 0x800)
            {
                out += static_cast<char>(0xC0 | (cp >> 6));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            }
            else if (cp < 0x10000)
            {
                out += static_cast<char>(0xE0 | (cp >> 12));
                out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            }
            else
            {
                out += static_cast<char>(0xF0 | (cp >> 18));
                out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (cp & 0x3F));
            }
        }

        // The length of the well-formed character at text[i] and its code point, or
        // a length of 0 when the bytes there are not one.
        std::size_t DecodeAt(std::string_view text, std::size_t i, std::uint32_t& cp)
        {
            const auto b0 = static_cast<unsigned char>(text[i]);
            if (b0 < 0x80)
            {
                cp = b0;
                return 1;
            }
            std::size_t len = 0;
            std::uint32_t min = 0;
            if (b0 >= 0xC2 && b0 <= 0xDF)
            {
                len = 2;
                cp = b0 & 0x1F;
                min = 0x80;
            }
            else if (b0 >= 0xE0 && b0 <= 0xEF)
            {
                len = 3;
                cp = b0 & 0x0F;
                min = 0x800;
            }
            else if (b0 >= 0xF0 && b0 <= 0xF4)
            {
                len = 4;
                cp = b0 & 0x07;
                min = 0x10000;
            }
            else
                return 0;
            if (i + len > text.size())
                return 0;
            for (std::size_t k = 1; k < len; ++k)
            {
                const auto b = static_cast<unsigned char>(text[i + k]);
                if ((b & 0xC0) != 0x80)
                    return 0;
                cp = (cp << 6) | (b & 0x3F);
            }
            if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return 0;
            return len;
        }

        // The well-formed UTF-8 sequences of the text, and in place of each byte
        // that is not part of one U+FFFD, or its Windows-1252 character.
        std::string Repaired(std::string_view text, bool strayAsCp1252)
        {
            std::string out;
            out.reserve(text.size());
            for (std::size_t i = 0; i < text.size();)
            {
                std::uint32_t cp = 0;
                const std::size_t len = DecodeAt(text, i, cp);
                if (len == 0)
                {
                    out += strayAsCp1252 ? Cp1252ToUtf8(text.substr(i, 1)) : std::string(Replacement);
                    ++i;
                    continue;
                }
                out.append(text.substr(i, len));
                i += len;
            }
            return out;
        }

        std::string Cased(std::string_view text, char from, char to)
        {
            std::string out(text);
            for (char& c : out)
                if (c >= from && c <= from + 25)
                    c = static_cast<char>(c - from + to);
            return out;
        }
    } // namespace

    std::string RepairUtf8(std::string_view text)
    {
        return Repaired(text, false);
    }

    std::string CutUtf8(std::string_view text, std::size_t max)
    {
        const std::string whole = RepairUtf8(text);
        if (whole.size() <= max)
            return whole;
        std::size_t end = max;
        // Back off the continuation bytes of a character that does not fit whole.
        while (end > 0 && (static_cast<unsigned char>(whole[end]) & 0xC0) == 0x80)
            --end;
        return whole.substr(0, end);
    }

    std::string OneLine(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        bool space = false;
        for (const char c : text)
        {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || u == 0x7F || c == ' ')
            {
                space = !out.empty();
                continue;
            }
            if (space)
                out += ' ';
            space = false;
            out += c;
        }
        return out;
    }

    std::string Cp1252ToUtf8(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        for (const char c : text)
        {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x80)
                out += c;
            else if (u < 0xA0)
            {
                const std::uint16_t cp = HighControls[u - 0x80];
                if (cp == 0)
                    out += Replacement;
                else
                    AppendUtf8(out, cp);
            }
            else
                AppendUtf8(out, u);
        }
        return out;
    }

    bool IsUtf8(std::string_view text)
    {
        for (std::size_t i = 0; i < text.size();)
        {
            std::uint32_t cp = 0;
            const std::size_t len = DecodeAt(text, i, cp);
            if (len == 0)
                return false;
            i += len;
        }
        return true;
    }

    std::string Utf8WithStrayCp1252(std::string_view text)
    {
        return Repaired(text, true);
    }

    std::string FoldC1Controls(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i)
        {
            // U+0080 to U+009F are C2 80 to C2 9F in UTF-8.
            const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
            if (static_cast<unsigned char>(text[i]) == 0xC2 && next >= 0x80 && next < 0xA0)
            {
                out += Cp1252ToUtf8(text.substr(i + 1, 1));
                ++i;
                continue;
            }
            out += text[i];
        }
        return out;
    }

    std::string Utf8ToCp1252(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        for (std::size_t i = 0; i < text.size();)
        {
            std::uint32_t cp = 0;
            std::size_t len = DecodeAt(text, i, cp);
            if (len == 0)
            {
                out += '?';
                ++i;
                continue;
            }
            i += len;
            if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
            {
                out += static_cast<char>(cp);
                continue;
            }
            char mapped = '?';
            for (std::size_t k = 0; k < HighControls.size(); ++k)
                if (HighControls[k] != 0 && HighControls[k] == cp)
                    mapped = static_cast<char>(0x80 + k);
            out += mapped;
        }
        return out;
    }

    bool IsWebAddress(std::string_view text)
    {
        if (text.size() > 2048)
            return false;
        for (const char c : text)
        {
            const auto u = static_cast<unsigned char>(c);
            if (u <= 0x20 || u >= 0x7F || c == '"' || c == '\\' || c == '<' || c == '>')
                return false;
        }
        const std::string lower = LowerAscii(text.substr(0, 8));
        std::size_t host = 0;
        if (lower.starts_with("http://"))
            host = 7;
        else if (lower.starts_with("https://"))
            host = 8;
        else
            return false;
        return host < text.size() && text[host] != '/' && text[host] != '?' && text[host] != '#';
    }

    std::string CodePointToUtf8(std::uint32_t cp)
    {
        std::string out;
        AppendUtf8(out, cp);
        return out;
    }

    std::string LowerAscii(std::string_view text)
    {
        return Cased(text, 'A', 'a');
    }

    std::string UpperAscii(std::string_view text)
    {
        return Cased(text, 'a', 'A');
    }
} // namespace content
