// The web-address rules: the strip's rule for addresses sent to the shell, and the
// player's rules for what a movie may load. The first line is the movie's address,
// the rest the address it asks for.
#include "app/url.h"
#include "check.h"
#include "player/movie/address.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (app::IsWebUrl(text))
    {
        FUZZ_CHECK(text.size() <= app::MaxUrlLength);
        FUZZ_CHECK(text.find_first_of("\"\\<> \t\r\n") == std::string::npos);
        FUZZ_CHECK(player::movie::IsWebAddress(text));
    }
    std::wstring wide;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        wide.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    if (app::IsWebUrl(wide))
        for (wchar_t c : wide)
            FUZZ_CHECK(c > 0x20 && c < 0x7F);

    const std::size_t eol = text.find('\n');
    const std::string base = text.substr(0, eol);
    const std::string ref = eol == std::string::npos ? std::string() : text.substr(eol + 1);
    std::string why;
    const auto resolved = player::movie::ResolveAddress(base, ref, why);
    if (!resolved)
    {
        FUZZ_CHECK(!why.empty());
        return 0;
    }
    if (player::movie::IsLocalPath(base))
    {
        // A movie from a file loads web addresses or files in its own folder.
        FUZZ_CHECK(player::movie::IsWebAddress(*resolved) || player::movie::OriginOf(*resolved) == player::movie::OriginOf(base));
        return 0;
    }
    FUZZ_CHECK(player::movie::IsWebAddress(*resolved));
    // A relative address stays on the movie's own server.
    if (!player::movie::IsWebAddress(ref) && ref.rfind("//", 0) != 0)
        FUZZ_CHECK(player::movie::OriginOf(*resolved) == player::movie::OriginOf(base));
    return 0;
}
