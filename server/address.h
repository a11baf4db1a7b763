// Web addresses in feeds: references resolved against a base address as RFC 3986
// says, and the links the ticker may open.
#pragma once

#include <string>
#include <string_view>

namespace content
{
    // The reference resolved against the base (RFC 3986, section 5.2). An empty or
    // relative base leaves a relative reference as it is.
    std::string ResolveReference(std::string_view base, std::string_view reference);

    // The text of a feed's link as an absolute http(s) address resolved against
    // the base, or empty when it is none: white space at the ends trimmed, spaces
    // and non-ASCII bytes inside percent-encoded.
    std::string WebLink(std::string_view base, std::string_view text);
} // namespace content
