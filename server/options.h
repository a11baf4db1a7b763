// The content server's command line.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace content
{
    struct Options
    {
        std::string address = "127.0.0.1";
        int port = 8421;
        std::string folder = "content";
        std::string publicBase; // filled from address and port when not given
        std::string offerVersion;
        std::string download;
        std::string downloadAddress;
        std::size_t maxSourceBytes = 2 * 1024 * 1024;
        std::chrono::seconds poll{ 5 };
        std::chrono::seconds fetchTimeout{ 10 };
        // What clients may hold (below the defaults of Limits in http_server.h).
        unsigned maxConnections = 4000;
        unsigned maxPerAddress = 200;
        std::chrono::seconds headTimeout{ 10 };
        std::string exportDir;
        bool check = false; // read every source once, say what it gave, and exit
        bool help = false;
    };

    struct OptionsResult
    {
        std::optional<Options> options;
        std::string error;
    };

    // args without the program name. defaultVersion is offered when no
    // --offer-version is given.
    OptionsResult ParseOptions(const std::vector<std::string>& args, const std::string& defaultVersion);

    std::string UsageText();
} // namespace content
