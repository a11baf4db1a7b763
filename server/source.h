// Reading a feed source: a file of the content folder or an http(s) address. Both
// stop at a size cap, so a runaway source cannot take the server's memory.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace content
{
    struct SourceBytes
    {
        bool ok = false;
        std::string error;
        std::string bytes;
    };

    // The whole file, or an error when it cannot be read or is larger than maxBytes.
    SourceBytes ReadFileCapped(const std::filesystem::path& file, std::size_t maxBytes);

    // The body of a 200 answer to a GET of the address (redirects followed), or an
    // error: no connection, another status, more than maxBytes, no answer within
    // timeout, or a body that has not arrived within twice timeout.
    SourceBytes FetchCapped(const std::string& address, std::size_t maxBytes, std::chrono::seconds timeout);
} // namespace content
