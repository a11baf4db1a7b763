// The content server's request targets: any request-line bytes. A name it serves
// never leaves the content folder.
#include "server/request_path.h"
#include "check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace
{
    void CheckInside(const std::string& name)
    {
        FUZZ_CHECK(!name.empty() && name.size() <= 1024);
        FUZZ_CHECK(name.front() != '/' && name.find('\\') == std::string::npos);
        std::size_t segments = 0;
        for (std::size_t at = 0; at <= name.size();)
        {
            const std::size_t end = std::min(name.find('/', at), name.size());
            const std::string_view segment(name.data() + at, end - at);
            FUZZ_CHECK(!segment.empty() && segment.front() != '.');
            for (unsigned char c : segment)
                FUZZ_CHECK(c >= 0x20 && c != 0x7F);
            ++segments;
            at = end + 1;
        }
        FUZZ_CHECK(segments <= 16);
    }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto name = content::ContentPath(bytes))
    {
        FUZZ_CHECK(*name == bytes);
        CheckInside(*name);
    }
    const content::Target target = content::ResolveTarget(bytes);
    if (target.status == 0)
    {
        CheckInside(target.name);
        FUZZ_CHECK(content::ContentPath(target.name).has_value());
    }
    else
        FUZZ_CHECK(target.status == 400 || target.status == 404);
    return 0;
}
