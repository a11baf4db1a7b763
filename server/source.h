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
        bool notModified = false; // a web source answered 304: it is as it was
        std::string error;
        std::string bytes;
        // Of a web source's answer: the document's address (after redirects), its
        // Content-Type and its validators for the next conditional GET.
        std::string address;
        std::string contentType;
        std::string etag;
        std::string lastModified;
    };

    constexpr int MaxRedirects = 5;

    // What the server sends about itself in every request: its name and version.
    std::string UserAgent();

    // The whole file, or an error when it cannot be read or is larger than maxBytes.
    SourceBytes ReadFileCapped(const std::filesystem::path& file, std::size_t maxBytes);

    // The body of a 200 answer to a GET of the address (redirects followed; gzip
    // asked for and decoded, maxBytes counting the decoded bytes), notModified for
    // a 304 to the validators of an earlier answer (sent as If-None-Match and
    // If-Modified-Since when not empty), or an error: no connection, another
    // status, more than maxBytes, no answer within timeout, or a body that has not
    // arrived within twice timeout.
    SourceBytes FetchCapped(const std::string& address, std::size_t maxBytes, std::chrono::seconds timeout,
                            const std::string& etag = {}, const std::string& lastModified = {});
} // namespace content
