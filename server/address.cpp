#include "server/address.h"

#include "server/text.h"

#include <optional>

namespace content
{
    namespace
    {
        struct Parts
        {
            std::optional<std::string_view> scheme;
            std::optional<std::string_view> authority;
            std::string path;
            std::optional<std::string_view> query;
            std::optional<std::string_view> fragment;
        };

        bool IsSchemeChar(char c, bool first)
        {
            const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            return alpha || (!first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
        }

        Parts Split(std::string_view text)
        {
            Parts parts;
            if (const std::size_t hash = text.find('#'); hash != std::string_view::npos)
            {
                parts.fragment = text.substr(hash + 1);
                text = text.substr(0, hash);
            }
            if (const std::size_t question = text.find('?'); question != std::string_view::npos)
            {
                parts.query = text.substr(question + 1);
                text = text.substr(0, question);
            }
            const std::size_t colon = text.find(':');
            if (colon != std::string_view::npos && colon > 0)
            {
                bool scheme = true;
                for (std::size_t i = 0; i < colon; ++i)
                    scheme = scheme && IsSchemeChar(text[i], i == 0);
                if (scheme)
                {
                    parts.scheme = text.substr(0, colon);
                    text.remove_prefix(colon + 1);
                }
            }
            if (text.starts_with("//"))
            {
                text.remove_prefix(2);
                const std::size_t slash = text.find('/');
                parts.authority = text.substr(0, slash);
                text = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
            }
            parts.path = text;
            return parts;
        }

        // RFC 3986, section 5.2.4, one segment at a time.
        std::string RemoveDotSegments(std::string_view in)
        {
            std::string out;
            while (!in.empty())
            {
                if (in.starts_with("../"))
                    in.remove_prefix(3);
                else if (in.starts_with("./"))
                    in.remove_prefix(2);
                else if (in.starts_with("/./"))
                    in.remove_prefix(2);
                else if (in == "/.")
                    in = "/";
                else if (in.starts_with("/../") || in == "/..")
                {
                    in = in.size() == 3 ? std::string_view("/") : in.substr(3);
                    const std::size_t last = out.rfind('/');
                    out.erase(last == std::string::npos ? 0 : last);
                }
                else if (in == "." || in == "..")
                    in = {};
                else
                {
                    const std::size_t next = in.find('/', 1);
                    const std::size_t take = next == std::string_view::npos ? in.size() : next;
                    out.append(in.substr(0, take));
                    in.remove_prefix(take);
                }
            }
            return out;
        }

        std::string Join(const Parts& parts)
        {
            std::string out;
            if (parts.scheme)
                out.append(*parts.scheme).append(":");
            if (parts.authority)
                out.append("//").append(*parts.authority);
            out += parts.path;
            if (parts.query)
                out.append("?").append(*parts.query);
            if (parts.fragment)
                out.append("#").append(*parts.fragment);
            return out;
        }
    } // namespace

    std::string ResolveReference(std::string_view base, std::string_view reference)
    {
        const Parts r = Split(reference);
        const Parts b = Split(base);
        if (r.scheme || !b.scheme)
        {
            Parts t = r;
            if (r.scheme)
                t.path = RemoveDotSegments(r.path);
            return Join(t);
        }
        Parts t;
        t.scheme = b.scheme;
        t.fragment = r.fragment;
        if (r.authority)
        {
            t.authority = r.authority;
            t.path = RemoveDotSegments(r.path);
            t.query = r.query;
            return Join(t);
        }
        t.authority = b.authority;
        if (r.path.empty())
        {
            t.path = b.path;
            t.query = r.query ? r.query : b.query;
            return Join(t);
        }
        t.query = r.query;
        if (r.path.front() == '/')
            t.path = RemoveDotSegments(r.path);
        else if (b.authority && b.path.empty())
            t.path = RemoveDotSegments("/" + r.path);
        else
            t.path = RemoveDotSegments(b.path.substr(0, b.path.rfind('/') + 1) + r.path);
        return Join(t);
    }

    std::string WebLink(std::string_view base, std::string_view text)
    {
        std::string reference;
        for (const char c : OneLine(text))
        {
            const auto u = static_cast<unsigned char>(c);
            if (u == ' ' || u >= 0x80)
            {
                static constexpr char Hex[] = "0123456789ABCDEF";
                reference += '%';
                reference += Hex[u >> 4];
                reference += Hex[u & 15];
            }
            else
                reference += c;
        }
        std::string link = ResolveReference(base, reference);
        return IsWebAddress(link) ? link : std::string();
    }
} // namespace content
