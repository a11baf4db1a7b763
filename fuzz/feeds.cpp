// The strip's cuts of the channel feed, the sponsor feed and the logo page, and the
// split of the getsponsor argument: any text from a server.
#include "app/feeds.h"
#include "check.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::string channel = app::ChannelValue(text);
    // Three fields and two bars, never more than the feed itself.
    FUZZ_CHECK(channel.size() <= text.size() + 2);
    for (char c : channel)
        FUZZ_CHECK(c < 'a' || c > 'z');

    const auto [link, words] = app::SponsorFields(text);
    FUZZ_CHECK(text.find(link) != std::string::npos);
    FUZZ_CHECK(text.find(words) != std::string::npos);
    FUZZ_CHECK(link.size() + words.size() <= text.size());

    const std::string logo = app::LogoAddress(text);
    FUZZ_CHECK(logo.empty() || text.find(logo + "\\\" ") != std::string::npos);

    const auto [feedUrl, pageUrl] = app::SplitSponsorArgs(text);
    FUZZ_CHECK(feedUrl.find(' ') == std::string::npos);
    FUZZ_CHECK((feedUrl.empty() && pageUrl == text) || feedUrl + " " + pageUrl == text);
    return 0;
}
