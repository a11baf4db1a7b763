#include "player/movie/text.h"

#include <cstdint>

namespace player::movie
{
    namespace
    {
        // Decodes one code point at text[i]; returns false (and advances by one) for
        // a malformed sequence.
        bool Next(std::string_view text, std::size_t& i, char32_t& cp)
        {
            const auto byte = [&](std::size_t k)
            {
                return static_cast<unsigned char>(text[k]);
            };
            const unsigned char b0 = byte(i);
            int extra = 0;
            char32_t min = 0;
            if (b0 < 0x80)
            {
                cp = b0;
                ++i;
                return true;
            }
            if ((b0 & 0xE0) == 0xC0)
                extra = 1, cp = b0 & 0x1F, min = 0x80;
            else if ((b0 & 0xF0) == 0xE0)
                extra = 2, cp = b0 & 0x0F, min = 0x800;
            else if ((b0 & 0xF8) == 0xF0)
                extra = 3, cp = b0 & 0x07, min = 0x10000;
            else
            {
                ++i;
                return false;
            }
            if (i + static_cast<std::size_t>(extra) >= text.size())
            {
                ++i;
                return false;
            }
            for (int k = 1; k <= extra; ++k)
            {
                const unsigned char b = byte(i + static_cast<std::size_t>(k));
                if ((b & 0xC0) != 0x80)
                {
                    ++i;
                    return false;
                }
                cp = (cp << 6) | (b & 0x3F);
            }
            if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            {
                ++i;
                return false;
            }
            i += static_cast<std::size_t>(extra) + 1;
            return true;
        }
    } // namespace

    bool IsUtf8(std::string_view text)
    {
        std::size_t i = 0;
        char32_t cp = 0;
        while (i < text.size())
            if (!Next(text, i, cp))
                return false;
        return true;
    }

    std::wstring Utf8ToWide(std::string_view text)
    {
        std::wstring out;
        out.reserve(text.size());
        std::size_t i = 0;
        while (i < text.size())
        {
            char32_t cp = 0;
            if (!Next(text, i, cp))
                cp = 0xFFFD;
            if (cp >= 0x10000)
            {
                cp -= 0x10000;
                out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
                out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
            }
            else
                out.push_back(static_cast<wchar_t>(cp));
        }
        return out;
    }

    std::string WideToUtf8(std::wstring_view text)
    {
        std::string out;
        out.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i)
        {
            char32_t cp = static_cast<char32_t>(static_cast<std::uint32_t>(text[i]) & 0xFFFFFFu);
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size())
            {
                const char32_t lo = static_cast<char32_t>(static_cast<std::uint32_t>(text[i + 1]));
                if (lo >= 0xDC00 && lo <= 0xDFFF)
                {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    ++i;
                }
                else
                    cp = 0xFFFD;
            }
            else if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
                cp = 0xFFFD;
            if (cp < 0x80)
                out.push_back(static_cast<char>(cp));
            else if (cp < 0x800)
            {
                out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
                out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            }
            else if (cp < 0x10000)
            {
                out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
                out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            }
            else
            {
                out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
                out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            }
        }
        return out;
    }
} // namespace player::movie
