// The content server's readers of outside documents: a feed source (as if
// fetched from a web address, so relative links resolve), the channels file and
// the sponsor file, each given the same bytes; and the decoding and link rules
// under them.
#include "check.h"
#include "server/address.h"
#include "server/channels.h"
#include "server/encoding.h"
#include "server/feed.h"
#include "server/text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace
{
    // Well-formed UTF-8 of one line.
    bool OneLine(std::string_view s)
    {
        for (std::size_t i = 0; i < s.size();)
        {
            const auto c = static_cast<unsigned char>(s[i]);
            if (c == '\n' || c == '\r')
                return false;
            std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
            if (n == 0 || i + n > s.size())
                return false;
            for (std::size_t k = 1; k < n; ++k)
                if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                    return false;
            i += n;
        }
        return true;
    }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const content::FeedResult feed = content::ParseFeed(bytes, { "http://fuzz.example/feeds/news.rss", "" });
    FUZZ_CHECK(feed.ok || (!feed.error.empty() && feed.headlines.empty() && feed.warning.empty()));
    FUZZ_CHECK(!feed.ok || !feed.format.empty());
    FUZZ_CHECK(feed.headlines.size() <= content::MaxHeadlines);
    for (const auto& h : feed.headlines)
    {
        FUZZ_CHECK(!h.title.empty() && h.title.size() <= content::MaxTitleBytes);
        FUZZ_CHECK(OneLine(h.title));
        std::string scheme = h.link.substr(0, h.link.find("://") + 3);
        for (char& c : scheme)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        FUZZ_CHECK(h.link.empty() || scheme == "http://" || scheme == "https://");
    }

    const content::DecodedText text = content::DecodeDocument(bytes);
    FUZZ_CHECK(!text.ok || content::IsUtf8(text.utf8));
    const std::string link = content::WebLink("https://fuzz.example/a/b?c", bytes.substr(0, 4096));
    FUZZ_CHECK(link.empty() || content::IsWebAddress(link));

    const content::ChannelsResult channels = content::ParseChannels(bytes);
    FUZZ_CHECK(channels.ok || (!channels.error.empty() && channels.channels.empty()));
    FUZZ_CHECK(channels.channels.size() <= content::MaxChannels);
    for (const auto& c : channels.channels)
    {
        FUZZ_CHECK(content::IsChannelCode(c.code));
        FUZZ_CHECK(OneLine(c.name) && OneLine(c.announcement));
        FUZZ_CHECK(c.refresh >= content::MinRefresh);
    }

    const content::SponsorResult sponsor = content::ParseSponsor(bytes);
    FUZZ_CHECK(sponsor.ok || (!sponsor.error.empty() && sponsor.sponsor == content::Sponsor{}));
    if (sponsor.ok)
        FUZZ_CHECK(OneLine(sponsor.sponsor.text));
    return 0;
}
