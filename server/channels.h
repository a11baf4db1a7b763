// The publisher's files in the content folder: the channels file (channels.xml) and
// the sponsor file (sponsor.xml). Both are read all or nothing: one bad entry
// refuses the whole file, with a message that names it.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace content
{
    struct Channel
    {
        std::string code;                    // 1 to 32 of a-z 0-9 - _, starting with a letter or digit
        std::string name;                    // one line of UTF-8
        std::string announcement;            // one line of UTF-8, may be empty
        std::string source;                  // a path in the content folder, or an http(s) address
        std::chrono::seconds refresh{ 600 }; // how often an http(s) source is fetched again
        bool operator==(const Channel&) const = default;
    };

    struct ChannelsResult
    {
        bool ok = false;
        std::string error;
        std::vector<Channel> channels;
    };

    constexpr std::size_t MaxChannels = 64;
    constexpr std::chrono::seconds MinRefresh{ 30 };

    ChannelsResult ParseChannels(std::string_view bytes);

    struct Sponsor
    {
        std::string link; // absolute http(s) address, or empty
        std::string text; // one line of UTF-8, may be empty
        std::string logo; // a path in the content folder, or an absolute http address
        bool operator==(const Sponsor&) const = default;
    };

    struct SponsorResult
    {
        bool ok = false;
        std::string error;
        Sponsor sponsor;
    };

    SponsorResult ParseSponsor(std::string_view bytes);

    // A channel code as the channels file allows it.
    bool IsChannelCode(std::string_view code);
} // namespace content
