#include "app/url.h"

#include <cstdint>

namespace app
{
    namespace
    {
        template <typename Char> bool StartsWithNoCase(const std::basic_string<Char>& s, const char* prefix)
        {
            std::size_t i = 0;
            for (; prefix[i] != '\0'; ++i)
            {
                if (i >= s.size())
                    return false;
                Char c = s[i];
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<Char>(c - 'A' + 'a');
                if (c != static_cast<Char>(prefix[i]))
                    return false;
            }
            return true;
        }

        template <typename Char> bool Check(const std::basic_string<Char>& url)
        {
            if (url.empty() || url.size() > MaxUrlLength)
                return false;
            for (Char c : url)
            {
                const auto u = static_cast<std::uint32_t>(c);
                if (u <= 0x20 || u >= 0x7F || c == '"' || c == '\\' || c == '<' || c == '>')
                    return false;
            }
            std::size_t hostAt = 0;
            if (StartsWithNoCase(url, "http://"))
                hostAt = 7;
            else if (StartsWithNoCase(url, "https://"))
                hostAt = 8;
            else
                return false;
            if (hostAt >= url.size())
                return false;
            const Char first = url[hostAt];
            const bool alnum = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z') || (first >= '0' && first <= '9');
            return alnum || first == '['; // a host name, an address or a bracketed IPv6 address
        }
    } // namespace

    bool IsWebUrl(const std::string& url)
    {
        return Check(url);
    }
    bool IsWebUrl(const std::wstring& url)
    {
        return Check(url);
    }
} // namespace app
