// The HTTP side: GET and HEAD of the site's documents under the base path, with
// validators and conditional requests, a log line per request, nothing outside
// the tree.
#pragma once

#include "server/site.h"

#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace httplib
{
    class Server;
}

namespace content
{
    class HttpFront
    {
      public:
        // log receives one line per answered request (no newline).
        HttpFront(const Site& site, std::function<void(const std::string&)> log);
        ~HttpFront();
        HttpFront(const HttpFront&) = delete;
        HttpFront& operator=(const HttpFront&) = delete;

        // Binds to address:port (port 0: any free port) and serves on threads of its
        // own. False when the address cannot be bound.
        bool Start(const std::string& address, int port);
        int Port() const { return port_; }
        // Stops accepting, lets the requests in hand finish and joins the threads.
        void Stop();

      private:
        void Setup();

        const Site& site_;
        std::function<void(const std::string&)> log_;
        std::unique_ptr<httplib::Server> server_;
        std::thread thread_;
        std::atomic<bool> ended_ = false;
        int port_ = 0;
    };

    // Whether the validators of a document answer a conditional GET with 304: the
    // If-None-Match list when there is one (weak comparison, "*" matches), else
    // If-Modified-Since.
    bool NotModified(const std::string& ifNoneMatch, const std::string& ifModifiedSince, const std::string& etag,
                     std::time_t modified);

    // A request target as the log shows it: control bytes and bytes past ASCII as
    // %XX, at most 200 bytes.
    std::string LoggableTarget(std::string_view target);
} // namespace content
