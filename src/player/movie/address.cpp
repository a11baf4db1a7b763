#include "player/movie/address.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

namespace player::movie
{
    namespace
    {
        std::string Lower(std::string s)
        {
            std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return s;
        }

        bool HasControlOrSpace(const std::string& s)
        {
            return std::any_of(s.begin(), s.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7F; });
        }

        // The length of "scheme://" for http and https, 0 otherwise.
        std::size_t WebPrefix(const std::string& s)
        {
            const std::string head = Lower(s.substr(0, 8));
            if (head.rfind("http://", 0) == 0)
                return 7;
            if (head.rfind("https://", 0) == 0)
                return 8;
            return 0;
        }

        // Removes "." and ".." segments from an absolute path ("/a/./b/../c").
        std::string NormalizePath(const std::string& path)
        {
            std::vector<std::string> out;
            std::size_t i = 1;
            bool trailing = false;
            while (i <= path.size())
            {
                const std::size_t j = std::min(path.find('/', i), path.size());
                const std::string seg = path.substr(i, j - i);
                trailing = j == path.size() && (seg == "." || seg == "..");
                if (seg == "..")
                {
                    if (!out.empty())
                        out.pop_back();
                }
                else if (seg != ".")
                    out.push_back(seg);
                i = j + 1;
            }
            std::string result;
            for (const auto& s : out)
                result += "/" + s;
            if (result.empty() || trailing)
                result += "/";
            return result;
        }
    } // namespace

    bool IsLocalPath(const std::string& a)
    {
        if (a.size() >= 3 && std::isalpha(static_cast<unsigned char>(a[0])) && a[1] == ':' && (a[2] == '\\' || a[2] == '/'))
            return true;
        if (a.size() >= 3 && a[0] == '\\' && a[1] == '\\')
            return true;
        return a.size() >= 2 && a[0] == '/' && a[1] != '/';
    }

    bool IsWebAddress(const std::string& a)
    {
        const std::size_t p = WebPrefix(a);
        // The host must not be empty: "http://?x" or "http://#x" would make every
        // relative load "http:///...".
        return p != 0 && a.size() > p && std::string_view("/?#\\").find(a[p]) == std::string_view::npos && !HasControlOrSpace(a);
    }

    std::optional<std::string> ResolveAddress(const std::string& base, const std::string& ref, std::string& why)
    {
        if (ref.empty() || ref.size() > 2048 || HasControlOrSpace(ref))
        {
            why = "not an address";
            return std::nullopt;
        }
        if (IsWebAddress(ref))
            return ref;
        if (IsLocalPath(base))
        {
            if (ref.find_first_of("/\\:") != std::string::npos || ref == "." || ref == "..")
            {
                why = "a movie from a local file may only load files in its own folder";
                return std::nullopt;
            }
            return base.substr(0, base.find_last_of("/\\") + 1) + ref;
        }
        const std::size_t prefix = WebPrefix(base);
        if (prefix == 0 || !IsWebAddress(base))
        {
            why = "the movie has no web address";
            return std::nullopt;
        }
        const std::size_t colon = ref.find(':');
        if (colon != std::string::npos && ref.find_first_of("/?#") > colon)
        {
            why = "only http and https addresses are allowed";
            return std::nullopt;
        }
        const std::string scheme = base.substr(0, prefix - 2); // "http:" or "https:"
        if (ref.rfind("//", 0) == 0)
        {
            const std::string full = scheme + ref;
            if (!IsWebAddress(full))
            {
                why = "not an address";
                return std::nullopt;
            }
            return full;
        }
        const std::size_t hostEnd = std::min(base.find_first_of("/?#", prefix), base.size());
        const std::string origin = base.substr(0, hostEnd);
        std::string basePath = base.substr(hostEnd);
        basePath = basePath.substr(0, basePath.find_first_of("?#"));
        if (basePath.empty())
            basePath = "/";
        std::string refPath = ref;
        std::string tail;
        if (const std::size_t q = ref.find_first_of("?#"); q != std::string::npos)
        {
            refPath = ref.substr(0, q);
            tail = ref.substr(q);
        }
        std::string path;
        if (refPath.empty())
            path = basePath;
        else if (refPath[0] == '/')
            path = refPath;
        else
            path = basePath.substr(0, basePath.rfind('/') + 1) + refPath;
        return origin + NormalizePath(path) + tail;
    }

    std::string OriginOf(const std::string& address)
    {
        if (IsLocalPath(address))
            return "file:" + Lower(address.substr(0, address.find_last_of("/\\") + 1));
        const std::size_t prefix = WebPrefix(address);
        if (prefix == 0 || !IsWebAddress(address))
            return {};
        const std::string scheme = Lower(address.substr(0, prefix - 3));
        // The authority ends where the path, query or fragment begins (a backslash
        // counts as a slash, as it does for the web's clients).
        std::string authority = address.substr(prefix, address.find_first_of("/?#\\", prefix) - prefix);
        if (const std::size_t at = authority.rfind('@'); at != std::string::npos)
            authority.erase(0, at + 1); // user information names no other origin
        std::string host = authority;
        std::string port;
        const std::size_t bracket = authority.find(']');
        const std::size_t colon = authority.find(':', authority[0] == '[' && bracket != std::string::npos ? bracket : 0);
        if (colon != std::string::npos)
        {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
        }
        host = Lower(host);
        while (!host.empty() && host.back() == '.')
            host.pop_back(); // "example.com." is "example.com"
        if (host.empty())
            return {};
        unsigned long number = scheme == "https" ? 443 : 80;
        if (!port.empty())
        {
            if (port.find_first_not_of("0123456789") != std::string::npos)
                return {};
            port.erase(0, std::min(port.find_first_not_of('0'), port.size() - 1)); // leading zeros say nothing
            if (port.size() > 5)
                return {};
            number = std::stoul(port);
            if (number == 0 || number > 65535)
                return {};
        }
        const bool usual = number == (scheme == "https" ? 443ul : 80ul);
        return scheme + "://" + host + (usual ? "" : ":" + std::to_string(number));
    }
} // namespace player::movie
