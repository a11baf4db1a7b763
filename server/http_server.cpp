#include "server/http_server.h"

#include "server/http_date.h"
#include "server/request_path.h"

#include <httplib.h>
#include <sys/socket.h>

#include <chrono>

namespace content
{
    namespace
    {
        constexpr const char* Allowed = "GET, HEAD";

        void Plain(httplib::Response& res, int status, const std::string& text)
        {
            res.status = status;
            res.set_content(text + "\n", "text/plain; charset=utf-8");
        }

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

    HttpFront::HttpFront(const Site& site, std::function<void(const std::string&)> log)
        : site_(site), log_(std::move(log)), server_(std::make_unique<httplib::Server>())
    {
        Setup();
    }

    HttpFront::~HttpFront()
    {
        Stop();
    }

    void HttpFront::Setup()
    {
        httplib::Server& server = *server_;
        server.set_payload_max_length(64 * 1024);
        // An idle kept-alive connection holds up a stop until it times out: keep it short.
        server.set_keep_alive_timeout(2);
        server.set_keep_alive_max_count(100);
        // The head and the body go out in two writes: without this the body would
        // wait for the client's delayed acknowledgement of the head.
        server.set_tcp_nodelay(true);
        // A restart binds the port again while the last run's connections wait out
        // their close (SO_REUSEADDR), and a second server on the same port fails
        // instead of sharing it (no SO_REUSEPORT, which the library would set).
        server.set_socket_options(
            [](socket_t sock)
            {
                int yes = 1;
                setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
            });
        server.set_read_timeout(10);
        server.set_write_timeout(10);

        server.set_pre_routing_handler(
            [this](const httplib::Request& req, httplib::Response& res)
            {
                const std::string& method = req.method;
                // These may carry a body: the library reads it, then the handlers below refuse.
                if (method == "POST" || method == "PUT" || method == "PATCH" || method == "DELETE")
                    return httplib::Server::HandlerResponse::Unhandled;
                if (method != "GET" && method != "HEAD")
                {
                    res.set_header("Allow", Allowed);
                    Plain(res, 405, "Method Not Allowed");
                    return httplib::Server::HandlerResponse::Handled;
                }
                // Every answer is the whole document as it is: no byte ranges (the
                // documents are small) and no compression (the entity tag names the bytes).
                auto& mutableReq = const_cast<httplib::Request&>(req);
                mutableReq.ranges.clear();
                mutableReq.headers.erase("Accept-Encoding");

                const Target target = ResolveTarget(req.target);
                if (target.status == 400)
                {
                    Plain(res, 400, "Bad Request");
                    return httplib::Server::HandlerResponse::Handled;
                }
                const std::optional<Document> doc = target.status == 0 ? site_.Find(target.name) : std::nullopt;
                if (!doc)
                {
                    Plain(res, 404, "Not Found");
                    return httplib::Server::HandlerResponse::Handled;
                }
                res.set_header("ETag", doc->etag);
                res.set_header("Last-Modified", FormatHttpDate(doc->modified));
                // Caches keep a copy but ask each time: headlines change while the strip runs.
                res.set_header("Cache-Control", "no-cache");
                res.set_header("Accept-Ranges", "none");
                res.set_header("X-Content-Type-Options", "nosniff");
                if (NotModified(req.get_header_value("If-None-Match"), req.get_header_value("If-Modified-Since"), doc->etag,
                                doc->modified))
                {
                    res.status = 304;
                    return httplib::Server::HandlerResponse::Handled;
                }
                res.status = 200;
                if (doc->body.empty())
                    res.set_header("Content-Type", doc->type);
                else
                    res.set_content(doc->body, doc->type);
                return httplib::Server::HandlerResponse::Handled;
            });

        const auto refuse = [](const httplib::Request&, httplib::Response& res)
        {
            res.set_header("Allow", Allowed);
            Plain(res, 405, "Method Not Allowed");
        };
        server.Post(".*", refuse);
        server.Put(".*", refuse);
        server.Patch(".*", refuse);
        server.Delete(".*", refuse);

        server.set_post_routing_handler(
            [](const httplib::Request&, httplib::Response& res)
            {
                // A 304 has no body and must not claim a length of 0 for the document.
                if (res.status == 304)
                    res.headers.erase("Content-Length");
            });

        server.set_logger(
            [this](const httplib::Request& req, const httplib::Response& res)
            {
                const std::size_t bytes = req.method == "HEAD" || res.status == 304 ? 0 : res.body.size();
                log_((req.method.empty() ? std::string("-") : req.method) + " " + LoggableTarget(req.target) + " " +
                     std::to_string(res.status) + " " + std::to_string(bytes));
            });
    }

    bool HttpFront::Start(const std::string& address, int port)
    {
        if (thread_.joinable())
            return false;
        if (port == 0)
            port_ = server_->bind_to_any_port(address);
        else
            port_ = server_->bind_to_port(address, port) ? port : -1;
        if (port_ <= 0)
            return false;
        ended_ = false;
        thread_ = std::thread(
            [this]
            {
                server_->listen_after_bind();
                ended_ = true;
            });
        // Stop only works on a running server: wait until it listens.
        while (!server_->is_running() && !ended_)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return !ended_;
    }

    void HttpFront::Stop()
    {
        if (!thread_.joinable())
            return;
        server_->stop();
        thread_.join();
    }
} // namespace content
