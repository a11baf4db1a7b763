// Which file of the content tree a request names. Both functions take untrusted
// bytes and never touch the file system; a name they return stays inside the
// content folder by construction (no "..", no absolute path, no hidden file).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace content
{
    // The address path under which the tree is served.
    constexpr std::string_view BasePath = "/resources/media/uk/downloads/vodazovovarar/";

    // A relative name in the content folder: 1 to 16 segments of 1 to 255 bytes
    // joined by "/", none starting with "." (so no ".", ".." or hidden files), no
    // backslash, no control character, at most 1024 bytes. The name itself when it
    // is one, nothing when not.
    std::optional<std::string> ContentPath(std::string_view name);

    struct Target
    {
        int status = 0;   // 0: name is the file; else the HTTP status to answer
        std::string name; // the relative name in the content tree
    };

    // The request target of a request line (origin form "/path?query" or absolute
    // form "http://host/path") to the tree's name under base: the query is dropped,
    // the path percent-decoded. Malformed escapes, encoded "/" or "\", a raw "\",
    // and NUL or other control characters give 400; a path outside base or a name
    // that ContentPath refuses gives 404.
    Target ResolveTarget(std::string_view target, std::string_view base = BasePath);
} // namespace content
