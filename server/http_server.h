// The HTTP side: GET and HEAD of the site's documents under the base path, with
// validators and conditional requests, a log line per request, nothing outside
// the tree. Built for clients that may be hostile: it never waits on one client
// while serving another, bounds what each may hold, and cuts a request head
// that does not arrive in time.
#pragma once

#include "server/site.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;

namespace content
{
    // What the clients of one server may hold.
    struct Limits
    {
        unsigned connections = 4000; // open at once; more are closed as they come
        unsigned perAddress = 200;   // open at once from one address; 0 for no limit
        // A request head must arrive whole within this, counted from the
        // connection or from the end of the last answer on it.
        std::chrono::seconds headTimeout{ 10 };
        // A connection on which nothing moves for this long is closed.
        std::chrono::seconds idleTimeout{ 30 };
        // Each connection's memory for its request head (request line and header
        // lines together) and the answer's header; a larger head gets 431 or 414.
        std::size_t headBytes = 16 * 1024;
        unsigned threads = 0; // 0: one per core
    };

    // The answer to one request, before it goes out.
    struct Reply
    {
        int status = 200;
        std::vector<std::pair<std::string, std::string>> headers;
        std::shared_ptr<const Document> doc; // the body of a 200; its length goes with a 304
        std::string text;                    // or this short plain text
    };

    // How the site answers method on target (the raw request target) with the
    // given conditional headers (empty when absent).
    Reply Decide(const Site& site, std::string_view method, std::string_view target, const std::string& ifNoneMatch,
                 const std::string& ifModifiedSince);

    class HttpFront
    {
      public:
        // log receives one line per answered request (no newline), from any thread.
        HttpFront(const Site& site, std::function<void(const std::string&)> log, Limits limits = {});
        ~HttpFront();
        HttpFront(const HttpFront&) = delete;
        HttpFront& operator=(const HttpFront&) = delete;

        // Binds to address:port (port 0: any free port) and serves on threads of its
        // own. False when the address cannot be bound.
        bool Start(const std::string& address, int port);
        int Port() const { return port_; }
        // Stops accepting, gives the answers in hand up to two seconds to go out,
        // closes every connection and joins the threads.
        void Stop();

      private:
        struct Connection
        {
            int fd = -1;
            std::chrono::steady_clock::time_point since; // of the head now awaited
            bool inHead = true;
            bool queued = false;        // an answer is on its way
            bool nul = false;           // the request line held a NUL
            std::size_t body = 0;       // body bytes thrown away
            const char* line = nullptr; // the target where the library keeps the request line
            std::string target;         // of the request in hand, as it came
        };
        struct Callbacks;
        friend struct Callbacks;

        void Sweep();

        const Site& site_;
        std::function<void(const std::string&)> log_;
        Limits limits_;
        MHD_Daemon* daemon_ = nullptr;
        int port_ = 0;

        mutable std::mutex mutex_;
        std::condition_variable sweep_;
        std::condition_variable settled_;
        std::unordered_set<Connection*> open_;
        bool stopping_ = false;
        bool sweeperWaits_ = false;
        int answering_ = 0; // answers queued and not yet sent
        std::thread sweeper_;
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
