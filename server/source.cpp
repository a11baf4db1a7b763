#include "server/source.h"

#include "server/address.h"
#include "server/text.h"

#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <fstream>

#ifndef CONTENT_SERVER_VERSION
#define CONTENT_SERVER_VERSION "0"
#endif

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
        // Read by the file's real size (a file that grows meanwhile is read on to
        // the cap), never into a buffer of the cap's size.
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(file, ec);
        std::string bytes;
        bytes.reserve(ec ? 0 : static_cast<std::size_t>(std::min<std::uintmax_t>(size, maxBytes) + 1));
        char block[16384];
        while (bytes.size() <= maxBytes)
        {
            in.read(block, sizeof block);
            bytes.append(block, static_cast<std::size_t>(in.gcount()));
            if (!in)
                break;
        }
        if (in.bad())
        {
            result.error = "cannot read " + file.string();
            return result;
        }
        if (bytes.size() > maxBytes)
        {
            result.error = file.string() + " is larger than " + std::to_string(maxBytes) + " bytes";
            return result;
        }
        result.ok = true;
        result.bytes = std::move(bytes);
        return result;
    }

    std::string UserAgent()
    {
        return "Norvale-content-server/" CONTENT_SERVER_VERSION;
    }

    SourceBytes FetchCapped(const std::string& address, std::size_t maxBytes, std::chrono::seconds timeout,
                            const std::string& etag, const std::string& lastModified)
    {
        SourceBytes result;
        httplib::Headers headers{ { "User-Agent", UserAgent() }, { "Accept-Encoding", "gzip" } };
        if (!etag.empty())
            headers.emplace("If-None-Match", etag);
        if (!lastModified.empty())
            headers.emplace("If-Modified-Since", lastModified);
        // A source that trickles its bytes in must still end in bounded time.
        const auto deadline = std::chrono::steady_clock::now() + 2 * timeout;
        // Redirects are followed here rather than by the client library, which
        // takes a 304 for one; the last address is the base of relative links.
        std::string at = address;
        for (int redirects = 0;; ++redirects)
        {
            if (!IsWebAddress(at))
            {
                result.error = "not an http(s) address: " + at;
                return result;
            }
            const std::size_t hostEnd = at.find_first_of("/?#", at.find("://") + 3);
            httplib::Client client(at.substr(0, hostEnd));
            client.set_connection_timeout(timeout);
            client.set_read_timeout(timeout);
            client.set_write_timeout(timeout);
            int status = 0;
            std::string location;
            bool tooLarge = false;
            bool tooSlow = false;
            std::string body;
            const httplib::Result answer = client.Get(
                hostEnd == std::string::npos ? "/" : at.substr(hostEnd), headers,
                [&](const httplib::Response& response)
                {
                    status = response.status;
                    location = response.get_header_value("Location");
                    result.contentType = response.get_header_value("Content-Type");
                    result.etag = response.get_header_value("ETag");
                    result.lastModified = response.get_header_value("Last-Modified");
                    // A declared length past the cap ends the fetch before the body.
                    const std::string length = response.get_header_value("Content-Length");
                    unsigned long long declared = 0;
                    const auto [end, ec] = std::from_chars(length.data(), length.data() + length.size(), declared);
                    if ((ec == std::errc() && declared > maxBytes) || ec == std::errc::result_out_of_range)
                        tooLarge = true;
                    // Only a 200's body is read.
                    return !tooLarge && status == 200;
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
                result.error = at + " is larger than " + std::to_string(maxBytes) + " bytes";
            else if (tooSlow)
                result.error = at + " took longer than " + std::to_string(2 * timeout.count()) + " seconds";
            else if (status == 0 || (status == 200 && !answer))
                result.error = at + ": " + httplib::to_string(answer.error());
            else if ((status == 301 || status == 302 || status == 303 || status == 307 || status == 308) && !location.empty())
            {
                if (redirects == MaxRedirects)
                    result.error = address + ": more than " + std::to_string(MaxRedirects) + " redirects";
                else
                {
                    at = ResolveReference(at, location);
                    continue;
                }
            }
            else if (status == 304 && (!etag.empty() || !lastModified.empty()))
            {
                result.ok = true;
                result.notModified = true;
            }
            else if (status != 200)
                result.error = at + ": status " + std::to_string(status);
            else
            {
                result.ok = true;
                result.bytes = std::move(body);
                result.address = at;
            }
            return result;
        }
    }
} // namespace content
