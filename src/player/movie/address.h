// The movie player's door for addresses: which movie addresses load, how a
// movie's own loads resolve against its address, and the origin that owns its
// persistent store.
#pragma once

#include <optional>
#include <string>

namespace player::movie
{
    // An absolute local file path ("C:\dir\x", "\\server\share\x", "/dir/x").
    bool IsLocalPath(const std::string& address);
    // http:// or https:// (any case) followed by a host.
    bool IsWebAddress(const std::string& address);

    // What a movie may load: `ref` resolved against the movie's address `base`.
    // Web addresses (absolute, scheme-relative, root-relative, relative with . and
    // .. segments) for any movie; for a movie loaded from a local file also a plain
    // file name in its own folder. Anything else: nullopt, with the reason.
    std::optional<std::string> ResolveAddress(const std::string& base, const std::string& ref, std::string& why);

    // The origin of an address, one spelling for each: "scheme://host[:port]" in lower
    // case for a web address, without user information or a trailing dot on the
    // host, with the port as a plain number and left out when it is the scheme's
    // own (80, 443); "file:" and the folder, lower-cased, for a local one. Empty for
    // anything else, and for a port that is not one.
    std::string OriginOf(const std::string& address);
} // namespace player::movie
