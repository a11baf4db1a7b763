// The documents the server makes from the channels, their headlines and the
// sponsor. The two that the strip itself reads (the channel feed and the sponsor
// feed) are in the Windows-1252 code page, the strip's; the rest are UTF-8.
#pragma once

#include "server/channels.h"
#include "server/feed.h"

#include <string>
#include <string_view>
#include <vector>

namespace content
{
    // "code<TAB>name<LF>" per channel, in the channels file's order.
    std::string ChannelListDocument(const std::vector<Channel>& channels);

    // The channel feed: <channel>, <name> and <announcement> in this order. The strip
    // cuts the fields by plain text search and shows "code|name|announcement", so
    // "<" and ">" in a field become the single angle quotes and "|" the broken bar.
    std::string ChannelFeedDocument(const Channel& channel);

    // "title<TAB>link<LF>" per headline; empty when there are none.
    std::string HeadlinesDocument(const std::vector<Headline>& headlines);

    // The sponsor feed: <URL> and <text>, cut by the strip like the channel feed.
    std::string SponsorFeedDocument(const Sponsor& sponsor);

    // The logo page: a script line that writes the image tag, its quotes escaped,
    // so the strip finds the address from "http://" to the backslash-quote-space.
    std::string LogoPageDocument(std::string_view logoAddress);

    // The newest version and the address of its installer, one per line.
    std::string VersionDocument(std::string_view version, std::string_view downloadAddress);

    // Dotted numbers: "3", "3.2", "3.2.1".
    bool IsVersion(std::string_view version);
} // namespace content
