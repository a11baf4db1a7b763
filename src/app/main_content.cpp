// What the strip fetches for the movies: the synchronous text fetch behind the
// channel feed and the sponsor feed.
#include "app/main.h"
#include "app/url.h"

#include <array>
#include <cstring>

namespace app
{
    // The whole body of `url`, read through `session` in 1024-byte reads; a NUL
    // byte cuts off the rest of the read that brought it. Empty when nothing could
    // be read. This is the door for every address the movies hand to the fetcher:
    // only plain web addresses go out, so a movie cannot have local files read.
    std::string TtickForm::FetchUrlText(os::InternetHandle session, const std::string& url)
    {
        if (!IsWebUrl(url))
        {
            Trace("refused to fetch an address that is not a web address");
            return {};
        }
        auto& internet = Os().internet;
        const os::InternetHandle request = internet.OpenUrl(session, url, os::inet::flag_no_cache_write);
        if (request == os::InternetHandle{})
            return {};
        std::string text;
        std::array<char, 1024> buffer{};
        os::DWORD read = 0;
        while (internet.ReadFile(request, buffer.data(), static_cast<os::DWORD>(buffer.size()), read) && read > 0)
        {
            const std::size_t got = std::min<std::size_t>(read, buffer.size());
            text.append(buffer.data(), ::strnlen(buffer.data(), got));
        }
        internet.Close(request);
        return text;
    }
} // namespace app
