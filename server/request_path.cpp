#include "server/request_path.h"

namespace content
{
    namespace
    {
        int HexValue(char c)
        {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            return -1;
        }

        bool IsControl(char c)
        {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        }
    } // namespace

    std::optional<std::string> ContentPath(std::string_view name)
    {
        if (name.size() > 1024)
            return std::nullopt;
        std::size_t segments = 0;
        std::size_t start = 0;
        while (true)
        {
            const std::size_t slash = name.find('/', start);
            const std::string_view segment = name.substr(start, slash == std::string_view::npos ? name.npos : slash - start);
            if (segment.empty() || segment.size() > 255 || segment[0] == '.' || ++segments > 16)
                return std::nullopt;
            for (const char c : segment)
                if (c == '\\' || IsControl(c))
                    return std::nullopt;
            if (slash == std::string_view::npos)
                break;
            start = slash + 1;
        }
        return std::string(name);
    }

    Target ResolveTarget(std::string_view target, std::string_view base)
    {
        target = target.substr(0, target.find('?'));
        // The absolute form names the host first; the path follows it.
        for (const std::string_view scheme : { "http://", "https://" })
            if (target.starts_with(scheme))
            {
                const std::size_t path = target.find('/', scheme.size());
                target = path == std::string_view::npos ? std::string_view("/") : target.substr(path);
            }
        if (!target.starts_with('/'))
            return { 400, {} };
        std::string path;
        path.reserve(target.size());
        for (std::size_t i = 0; i < target.size(); ++i)
        {
            char c = target[i];
            if (c == '%')
            {
                const int hi = i + 2 < target.size() ? HexValue(target[i + 1]) : -1;
                const int lo = hi < 0 ? -1 : HexValue(target[i + 2]);
                if (lo < 0)
                    return { 400, {} };
                c = static_cast<char>(hi * 16 + lo);
                i += 2;
                // An escaped separator would let a name cross folders unseen.
                if (c == '/')
                    return { 400, {} };
            }
            if (c == '\\' || IsControl(c))
                return { 400, {} };
            path += c;
        }
        if (!path.starts_with(base))
            return { 404, {} };
        std::optional<std::string> name = ContentPath(std::string_view(path).substr(base.size()));
        if (!name)
            return { 404, {} };
        return { 0, std::move(*name) };
    }
} // namespace content
