// Addresses that the movies send to the host. The movies are remote content, so
// an address reaches the shell or the player only when it is a plain web address.
#pragma once

#include <string>

namespace app
{
    // The longest address accepted (the limit of Internet addresses on Windows).
    constexpr std::size_t MaxUrlLength = 2083;

    // True for an absolute http or https URL with a host, made of printable ASCII
    // without blanks, quotes, backslashes or angle brackets, and no longer than
    // MaxUrlLength. File paths, UNC paths, other schemes and anything that could
    // break out of a command line are refused.
    bool IsWebUrl(const std::string& url);
    bool IsWebUrl(const std::wstring& url);
} // namespace app
