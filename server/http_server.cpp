#include "server/http_server.h"

#include "server/http_date.h"
#include "server/request_path.h"

#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace content
{
    namespace
    {
        constexpr const char* Allowed = "GET, HEAD";
        // The most body bytes thrown away with a GET or HEAD before the answer.
        constexpr std::size_t MaxBody = 64 * 1024;

        // The entity tags of an If-None-Match list, each with its quotes, "W/" dropped.
        std::vector<std::string_view> Tags(std::string_view list)
        {
            std::vector<std::string_view> tags;
            std::size_t i = 0;
            while (i < list.size())
            {
                while (i < list.size() && (list[i] == ' ' || list[i] == '\t' || list[i] == ','))
                    ++i;
                if (list.substr(i, 2) == "W/")
                    i += 2;
                if (i >= list.size())
                    break;
                if (list[i] == '*')
                {
                    tags.push_back("*");
                    ++i;
                    continue;
                }
                if (list[i] != '"')
                    break; // not a list of entity tags
                const std::size_t end = list.find('"', i + 1);
                if (end == std::string_view::npos)
                    break;
                tags.push_back(list.substr(i, end - i + 1));
                i = end + 1;
            }
            return tags;
        }
    } // namespace

    bool NotModified(const std::string& ifNoneMatch, const std::string& ifModifiedSince, const std::string& etag,
                     std::time_t modified)
    {
        if (!ifNoneMatch.empty())
        {
            for (const std::string_view tag : Tags(ifNoneMatch))
                if (tag == "*" || tag == etag)
                    return true;
            return false;
        }
        if (ifModifiedSince.empty())
            return false;
        const std::optional<std::time_t> since = ParseHttpDate(ifModifiedSince);
        return since && modified <= *since;
    }

    std::string LoggableTarget(std::string_view target)
    {
        std::string out;
        for (const char c : target.substr(0, 200))
        {
            const auto u = static_cast<unsigned char>(c);
            if (u <= 0x20 || u >= 0x7F)
            {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%%%02X", u);
                out += hex;
            }
            else
                out += c;
        }
        if (target.size() > 200)
            out += "...";
        return out;
    }

    Reply Decide(const Site& site, std::string_view method, std::string_view target, const std::string& ifNoneMatch,
                 const std::string& ifModifiedSince)
    {
        Reply reply;
        const auto plain = [&reply](int status, const std::string& text)
        {
            reply.status = status;
            reply.text = text + "\n";
            reply.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
            return reply;
        };
        if (method != "GET" && method != "HEAD")
        {
            reply.headers.emplace_back("Allow", Allowed);
            return plain(405, "Method Not Allowed");
        }
        const Target resolved = ResolveTarget(target);
        if (resolved.status == 400)
            return plain(400, "Bad Request");
        std::shared_ptr<const Document> doc = resolved.status == 0 ? site.Share(resolved.name) : nullptr;
        if (!doc)
            return plain(404, "Not Found");
        reply.headers = {
            { "ETag", doc->etag },
            { "Last-Modified", FormatHttpDate(doc->modified) },
            // Caches keep a copy but ask each time: headlines change while the strip runs.
            { "Cache-Control", "no-cache" },
            // Every answer is the whole document as it is: no byte ranges (the
            // documents are small) and no compression (the entity tag names the bytes).
            { "Accept-Ranges", "none" },
            { "X-Content-Type-Options", "nosniff" },
        };
        if (NotModified(ifNoneMatch, ifModifiedSince, doc->etag, doc->modified))
            reply.status = 304;
        else
            reply.headers.emplace_back("Content-Type", doc->type);
        reply.doc = std::move(doc);
        return reply;
    }

    // The library's callbacks, on its threads.
    struct HttpFront::Callbacks
    {
        static std::string Header(MHD_Connection* connection, const char* name)
        {
            const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
            return value ? value : "";
        }

        static void ConnectionEvent(void* cls, MHD_Connection* connection, void** context, MHD_ConnectionNotificationCode code)
        {
            auto& front = *static_cast<HttpFront*>(cls);
            std::lock_guard lock(front.mutex_);
            if (code == MHD_CONNECTION_NOTIFY_STARTED)
            {
                auto* c = new Connection;
                const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
                c->fd = info ? info->connect_fd : -1;
                c->since = std::chrono::steady_clock::now();
                front.open_.insert(c);
                *context = c;
                if (front.sweeperWaits_)
                    front.sweep_.notify_one();
            }
            else if (auto* c = static_cast<Connection*>(*context))
            {
                // The library closes the socket after this returns: the sweeper,
                // which holds the lock while it cuts, never sees a reused one.
                front.open_.erase(c);
                delete c;
                *context = nullptr;
            }
        }

        // Called with the raw request target as soon as the request line is in:
        // the path is resolved from it, as it came, not as the library decodes it.
        static void* RequestLine(void* cls, const char* uri, MHD_Connection* connection)
        {
            auto& front = *static_cast<HttpFront*>(cls);
            const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
            auto* c = info ? static_cast<Connection*>(info->socket_context) : nullptr;
            if (c)
            {
                std::lock_guard lock(front.mutex_);
                c->line = uri;
                c->target = uri ? uri : "";
            }
            return c;
        }

        // The library hands the request line over as C strings: a NUL inside the
        // target would cut it short unseen. The version follows the target in the
        // same line, so a gap between them tells.
        static bool CutByNul(const Connection& c, const char* version)
        {
            return c.line && version && version > c.line && static_cast<std::size_t>(version - c.line) != c.target.size() + 1;
        }

        // The Content-Length of the request, 0 when none or unreadable.
        static std::size_t AnnouncedLength(MHD_Connection* connection)
        {
            const std::string text = Header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
            std::size_t length = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
            return error == std::errc() && end == text.data() + text.size() ? length : 0;
        }

        static MHD_Result Answer(void* cls, MHD_Connection* connection, const char* url, const char* method, const char* version,
                                 const char* upload, size_t* uploadSize, void** request)
        {
            auto& front = *static_cast<HttpFront*>(cls);
            auto* c = static_cast<Connection*>(*request);
            const std::string verb = method ? method : "";
            const bool bodyless = verb == "GET" || verb == "HEAD";
            std::string target = url;
            if (c)
            {
                std::lock_guard lock(front.mutex_);
                if (c->inHead)
                {
                    // The head is in. A GET or HEAD is answered on the next call, once
                    // any body has been read (so the connection can be kept), unless
                    // it announces more body than is thrown away; other methods are
                    // refused at once, their body unread.
                    c->inHead = false;
                    c->nul = CutByNul(*c, version);
                    // What comes is counted from 0; an announced excess is answered now.
                    const std::size_t announced = AnnouncedLength(connection);
                    c->body = announced > MaxBody ? announced : 0;
                    if (bodyless && c->body == 0)
                        return MHD_YES;
                }
                else if (*uploadSize != 0)
                {
                    // A body on a GET or HEAD: thrown away. One longer than it said
                    // (chunked, say) ends the connection when it passes the bound.
                    c->body += *uploadSize;
                    *uploadSize = 0;
                    return c->body <= MaxBody ? MHD_YES : MHD_NO;
                }
                target = c->nul ? c->target + '\0' : std::move(c->target);
                c->queued = true;
                ++front.answering_;
            }
            (void)upload;
            Reply reply;
            if (c && bodyless && c->body > MaxBody)
            {
                // Answered before the rest of the body comes; the connection then closes.
                reply.status = 413;
                reply.text = "Content Too Large\n";
                reply.headers.emplace_back("Content-Type", "text/plain; charset=utf-8");
            }
            else
                reply = Decide(front.site_, verb, target, Header(connection, MHD_HTTP_HEADER_IF_NONE_MATCH),
                               Header(connection, MHD_HTTP_HEADER_IF_MODIFIED_SINCE));
            MHD_Response* response = nullptr;
            std::size_t bytes = 0;
            if (reply.doc)
            {
                // The response reads the document in place and keeps it alive until
                // sent. A 304 goes out from the same buffer: the library then sends
                // the document's length and no body, as the 200 would have had.
                auto* keep = new std::shared_ptr<const Document>(reply.doc);
                bytes = reply.doc->body.size();
                response = MHD_create_response_from_buffer_with_free_callback_cls(
                    bytes, const_cast<char*>(reply.doc->body.data()),
                    [](void* held) { delete static_cast<std::shared_ptr<const Document>*>(held); }, keep);
                if (!response)
                    delete keep;
            }
            else
            {
                bytes = reply.text.size();
                response = MHD_create_response_from_buffer(bytes, const_cast<char*>(reply.text.data()), MHD_RESPMEM_MUST_COPY);
            }
            if (!response)
                return MHD_NO; // out of memory: the library closes the connection
            for (const auto& [name, value] : reply.headers)
                MHD_add_response_header(response, name.c_str(), value.c_str());
            const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
            MHD_destroy_response(response);
            if (verb == "HEAD" || reply.status == 304)
                bytes = 0;
            front.log_((verb.empty() ? std::string("-") : verb) + " " + LoggableTarget(target) + " " +
                       std::to_string(reply.status) + " " + std::to_string(bytes));
            return queued;
        }

        // An answer went out (or the connection failed under it): the connection
        // now waits for its next request head.
        static void Completed(void* cls, MHD_Connection*, void** request, MHD_RequestTerminationCode)
        {
            auto& front = *static_cast<HttpFront*>(cls);
            auto* c = static_cast<Connection*>(*request);
            if (!c)
                return;
            std::lock_guard lock(front.mutex_);
            c->inHead = true;
            c->since = std::chrono::steady_clock::now();
            if (c->queued)
            {
                c->queued = false;
                --front.answering_;
                front.settled_.notify_all();
            }
            if (front.sweeperWaits_)
                front.sweep_.notify_one();
            *request = nullptr;
        }
    };

    HttpFront::HttpFront(const Site& site, std::function<void(const std::string&)> log, Limits limits)
        : site_(site), log_(std::move(log)), limits_(limits)
    {
    }

    HttpFront::~HttpFront()
    {
        Stop();
    }

    bool HttpFront::Start(const std::string& address, int port)
    {
        if (daemon_)
            return false;
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
            return false;
        const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        // A restart binds the port again while the last run's connections wait out
        // their close (SO_REUSEADDR), and a second server on the same port fails
        // instead of sharing it (no SO_REUSEPORT).
        int yes = 1;
        const bool bound = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
                           ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, 1024) == 0;
        freeaddrinfo(found);
        sockaddr_storage local{};
        socklen_t length = sizeof local;
        if (!bound || getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        {
            if (fd >= 0)
                ::close(fd);
            return false;
        }
        port_ = ntohs(local.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&local)->sin6_port
                                                  : reinterpret_cast<sockaddr_in*>(&local)->sin_port);

        const unsigned threads = limits_.threads ? limits_.threads : std::max(1U, std::thread::hardware_concurrency());
        stopping_ = false;
        // The head deadline is kept by this thread: the library's own time-out
        // counts silence only, so a head sent a byte at a time would never end.
        sweeper_ = std::thread([this] { Sweep(); });
        daemon_ = MHD_start_daemon(
            MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ITC, 0, nullptr, nullptr, &Callbacks::Answer, this, MHD_OPTION_LISTEN_SOCKET,
            fd, MHD_OPTION_THREAD_POOL_SIZE, threads > 1 ? threads : 0U, MHD_OPTION_CONNECTION_LIMIT, limits_.connections,
            MHD_OPTION_PER_IP_CONNECTION_LIMIT, limits_.perAddress, MHD_OPTION_CONNECTION_TIMEOUT,
            static_cast<unsigned>(limits_.idleTimeout.count()), MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits_.headBytes,
            MHD_OPTION_NOTIFY_CONNECTION, &Callbacks::ConnectionEvent, this, MHD_OPTION_URI_LOG_CALLBACK, &Callbacks::RequestLine,
            this, MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::Completed, this, MHD_OPTION_END);
        if (!daemon_)
        {
            ::close(fd);
            Stop();
            return false;
        }
        return true;
    }

    void HttpFront::Sweep()
    {
        std::unique_lock lock(mutex_);
        while (!stopping_)
        {
            const auto now = std::chrono::steady_clock::now();
            auto next = std::chrono::steady_clock::time_point::max();
            for (Connection* c : open_)
            {
                if (!c->inHead)
                    continue;
                const auto deadline = c->since + limits_.headTimeout;
                if (deadline <= now)
                    // The library sees the end of the stream and closes the connection
                    // (until then a later sweep may shut it down again, to no effect).
                    ::shutdown(c->fd, SHUT_RDWR);
                else
                    next = std::min(next, deadline);
            }
            sweeperWaits_ = next == std::chrono::steady_clock::time_point::max();
            if (sweeperWaits_)
                sweep_.wait(lock);
            else
                // Half a second late at most, and no wake-up for every request.
                sweep_.wait_until(lock, std::max(next, now + std::chrono::milliseconds(500)));
        }
    }

    void HttpFront::Stop()
    {
        if (daemon_)
        {
            // The listening socket comes back to us, to be closed once the
            // library's threads are gone.
            const MHD_socket listener = MHD_quiesce_daemon(daemon_);
            {
                std::unique_lock lock(mutex_);
                settled_.wait_for(lock, std::chrono::seconds(2), [this] { return answering_ == 0; });
            }
            MHD_stop_daemon(daemon_);
            daemon_ = nullptr;
            if (listener != MHD_INVALID_SOCKET)
                ::close(listener);
        }
        if (sweeper_.joinable())
        {
            {
                std::lock_guard lock(mutex_);
                stopping_ = true;
            }
            sweep_.notify_all();
            sweeper_.join();
        }
    }
} // namespace content
