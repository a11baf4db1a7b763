#include "server/source.h"

#include "server/text.h"

#include <httplib.h>

#include <charconv>
#include <fstream>

namespace content
{
    SourceBytes ReadFileCapped(const std::filesystem::path& file, std::size_t maxBytes)
    {
        SourceBytes result;
        std::ifstream in(file, std::ios::binary);
        if (!in)
        {
            result.error = "cannot open " + file.string();
            return result;
        }
        // One byte more than allowed tells a file at the cap from a larger one.
        std::string bytes(maxBytes + 1, '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (in.bad())
        {
            result.error = "cannot read " + file.string();
            return result;
        }
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > maxBytes)
        {
            result.error = file.string() + " is larger than " + std::to_string(maxBytes) + " bytes";
            return result;
        }
        result.ok = true;
        result.bytes = std::move(bytes);
        return result;
    }

    SourceBytes FetchCapped(const std::string& address, std::size_t maxBytes, std::chrono::seconds timeout)
    {
        SourceBytes result;
        if (!IsWebAddress(address))
        {
            result.error = "not an http(s) address: " + address;
            return result;
        }
        const std::size_t hostEnd = address.find_first_of("/?#", address.find("://") + 3);
        const std::string origin = address.substr(0, hostEnd);
        const std::string path = hostEnd == std::string::npos ? "/" : address.substr(hostEnd);
        httplib::Client client(origin);
        client.set_connection_timeout(timeout);
        client.set_read_timeout(timeout);
        client.set_write_timeout(timeout);
        client.set_follow_location(true);
        bool tooLarge = false;
        bool tooSlow = false;
        std::string body;
        // A source that trickles its bytes in must still end in bounded time.
        const auto deadline = std::chrono::steady_clock::now() + 2 * timeout;
        const httplib::Result answer = client.Get(
            path, httplib::Headers{ { "User-Agent", "Norvale content server" } },
            [&](const httplib::Response& response)
            {
                // A declared length past the cap ends the fetch before the body.
                const std::string length = response.get_header_value("Content-Length");
                unsigned long long declared = 0;
                const auto [end, ec] = std::from_chars(length.data(), length.data() + length.size(), declared);
                if ((ec == std::errc() && declared > maxBytes) || ec == std::errc::result_out_of_range)
                    tooLarge = true;
                return !tooLarge;
            },
            [&](const char* data, std::size_t size)
            {
                tooSlow = std::chrono::steady_clock::now() > deadline;
                if (tooSlow)
                    return false;
                if (body.size() + size > maxBytes)
                {
                    tooLarge = true;
                    return false;
                }
                body.append(data, size);
                return true;
            });
        if (tooLarge)
        {
            result.error = address + " is larger than " + std::to_string(maxBytes) + " bytes";
            return result;
        }
        if (tooSlow)
        {
            result.error = address + " took longer than " + std::to_string(2 * timeout.count()) + " seconds";
            return result;
        }
        if (!answer)
        {
            result.error = address + ": " + httplib::to_string(answer.error());
            return result;
        }
        if (answer->status != 200)
        {
            result.error = address + ": status " + std::to_string(answer->status);
            return result;
        }
        result.ok = true;
        result.bytes = std::move(body);
        return result;
    }
} // namespace content
