#include "server/html.h"

#include "server/text.h"

#include <libxml/HTMLparser.h>

#include <cstdint>

namespace content
{
    namespace
    {
        constexpr std::size_t MaxEntityBytes = 10; // "&" to ";" at most: "&thetasym;", "&#1114111;"

        // The reference at text[i] ('&'), appended decoded; returns its length, or 0
        // when it is not one (the '&' then stays as it is).
        std::size_t DecodeEntity(std::string_view text, std::size_t i, std::string& out)
        {
            const std::size_t semi = text.find(';', i);
            if (semi == std::string_view::npos || semi - i > MaxEntityBytes)
                return 0;
            const std::string_view name = text.substr(i + 1, semi - i - 1);
            if (name.empty())
                return 0;
            if (name[0] != '#')
            {
                const std::string value = HtmlEntity(name);
                if (value.empty())
                    return 0;
                out += value;
                return semi - i + 1;
            }
            const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
            const std::string_view digits = name.substr(hex ? 2 : 1);
            if (digits.empty())
                return 0;
            std::uint32_t cp = 0;
            for (const char c : digits)
            {
                std::uint32_t d = 0;
                if (c >= '0' && c <= '9')
                    d = static_cast<std::uint32_t>(c - '0');
                else if (hex && c >= 'a' && c <= 'f')
                    d = static_cast<std::uint32_t>(c - 'a' + 10);
                else if (hex && c >= 'A' && c <= 'F')
                    d = static_cast<std::uint32_t>(c - 'A' + 10);
                else
                    return 0;
                cp = cp * (hex ? 16 : 10) + d;
            }
            out += CodePointToUtf8(cp);
            return semi - i + 1;
        }

        // Where the tag, comment or declaration at html[i] ('<') ends, past its
        // '>'; 0 when the '<' is text; npos when it runs to the end unclosed.
        std::size_t TagEnd(std::string_view html, std::size_t i)
        {
            const char next = i + 1 < html.size() ? html[i + 1] : ' ';
            const bool letter = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
            if (!letter && next != '/' && next != '!' && next != '?')
                return 0;
            const bool comment = html.substr(i, 4) == "<!--";
            const std::size_t close = comment ? html.find("-->", i + 4) : html.find('>', i);
            if (close == std::string_view::npos)
                return std::string_view::npos;
            return close + (comment ? 3 : 1);
        }

        // The text with its references decoded and, when asked, its tags taken out.
        std::string Decoded(std::string_view html, bool tags)
        {
            std::string out;
            for (std::size_t i = 0; i < html.size();)
            {
                if (tags && html[i] == '<')
                {
                    const std::size_t end = TagEnd(html, i);
                    if (end == std::string_view::npos)
                        break;
                    if (end != 0)
                    {
                        out += ' ';
                        i = end;
                        continue;
                    }
                }
                if (html[i] == '&')
                    if (const std::size_t used = DecodeEntity(html, i, out); used != 0)
                    {
                        i += used;
                        continue;
                    }
                out += html[i++];
            }
            return out;
        }
    } // namespace

    std::string HtmlEntity(std::string_view name)
    {
        if (name == "apos")
            return "'";
        const std::string key(name);
        const htmlEntityDesc* entity = htmlEntityLookup(reinterpret_cast<const xmlChar*>(key.c_str()));
        return entity != nullptr ? CodePointToUtf8(entity->value) : std::string();
    }

    std::string DecodeEntities(std::string_view text)
    {
        return Decoded(text, false);
    }

    std::string HtmlToText(std::string_view html)
    {
        return Decoded(html, true);
    }

    std::string DecodeBase64(std::string_view text)
    {
        std::string out;
        std::uint32_t bits = 0;
        int count = 0;
        for (const char c : text)
        {
            int value = 0;
            if (c >= 'A' && c <= 'Z')
                value = c - 'A';
            else if (c >= 'a' && c <= 'z')
                value = c - 'a' + 26;
            else if (c >= '0' && c <= '9')
                value = c - '0' + 52;
            else if (c == '+')
                value = 62;
            else if (c == '/')
                value = 63;
            else if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
                continue;
            else
                break; // '=' or anything else ends the data
            bits = (bits << 6) | static_cast<std::uint32_t>(value);
            if (++count == 4)
            {
                out += static_cast<char>((bits >> 16) & 0xFF);
                out += static_cast<char>((bits >> 8) & 0xFF);
                out += static_cast<char>(bits & 0xFF);
                bits = 0;
                count = 0;
            }
        }
        if (count >= 2)
            out += static_cast<char>((bits >> (6 * count - 8)) & 0xFF);
        if (count == 3)
            out += static_cast<char>((bits >> 2) & 0xFF);
        return out;
    }
} // namespace content
