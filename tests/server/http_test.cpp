// The server over real HTTP on the loopback interface.
#include "app/feeds.h"
#include "fixture.h"
#include "server/http_date.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace content::test
{
    namespace
    {
        // The status line's code for raw request bytes that no client library would send.
        int RawStatus(int port, const std::string& request)
        {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(static_cast<std::uint16_t>(port));
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            int status = -1;
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size()))
            {
                char buffer[64] = {};
                if (::recv(fd, buffer, sizeof buffer - 1, MSG_WAITALL) >= 12 && std::string_view(buffer).starts_with("HTTP/1.1 "))
                    status = std::atoi(buffer + 9);
            }
            ::close(fd);
            return status;
        }

        struct RawAnswer
        {
            int status = -1;
            std::map<std::string, std::string> headers; // names in lower case
            std::string body;
        };

        // A GET of name with extra header lines, on a connection of its own, read to
        // its close. httplib's client would wait for a 304's body when the 304 gives
        // the document's length, as HTTP allows.
        RawAnswer RawGet(int port, const std::string& name, const std::string& headers = {})
        {
            const std::string request =
                "GET " + std::string(BasePath) + name + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + headers + "\r\n";
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            timeval wait{ 5, 0 };
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(static_cast<std::uint16_t>(port));
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            std::string bytes;
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                ::send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size()))
            {
                char buffer[4096];
                for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                    bytes.append(buffer, static_cast<std::size_t>(n));
            }
            ::close(fd);
            RawAnswer answer;
            const std::size_t end = bytes.find("\r\n\r\n");
            if (!bytes.starts_with("HTTP/1.1 ") || end == std::string::npos)
                return answer;
            answer.status = std::atoi(bytes.c_str() + 9);
            answer.body = bytes.substr(end + 4);
            for (std::size_t at = bytes.find("\r\n") + 2; at < end;)
            {
                const std::size_t eol = bytes.find("\r\n", at);
                const std::string line = bytes.substr(at, eol - at);
                if (const std::size_t colon = line.find(':'); colon != std::string::npos)
                {
                    std::string key = line.substr(0, colon);
                    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
                    answer.headers[key] = line.substr(line.find_first_not_of(' ', colon + 1));
                }
                at = eol + 2;
            }
            return answer;
        }

        TEST_F(ContentTest, ServesEveryDocumentOfTheTree)
        {
            Start();
            const struct
            {
                std::string name;
                std::string type;
            } docs[] = {
                { "channels.txt", "text/plain; charset=utf-8" },
                { "channel/world.txt", "text/plain; charset=windows-1252" },
                { "channel/tech.txt", "text/plain; charset=windows-1252" },
                { "headlines/world.txt", "text/plain; charset=utf-8" },
                { "headlines/tech.txt", "text/plain; charset=utf-8" },
                { "sponsor.txt", "text/plain; charset=windows-1252" },
                { "sponsor/logo.htm", "text/html; charset=utf-8" },
                { "sponsor/logo.jpg", "image/jpeg" },
                { "version.txt", "text/plain; charset=utf-8" },
                { "help.htm", "text/html; charset=utf-8" },
                { "getflash.htm", "text/html; charset=utf-8" },
                { "ticker4.swf", "application/x-shockwave-flash" },
                { "download/setup-3.3.exe", "application/vnd.microsoft.portable-executable" },
            };
            std::map<std::string, std::string> body;
            for (const auto& d : docs)
            {
                const httplib::Result r = Get(d.name);
                ASSERT_TRUE(r) << d.name;
                EXPECT_EQ(r->status, 200) << d.name;
                EXPECT_EQ(r->get_header_value("Content-Type"), d.type) << d.name;
                EXPECT_EQ(r->get_header_value("Content-Length"), std::to_string(r->body.size())) << d.name;
                EXPECT_FALSE(r->get_header_value("ETag").empty()) << d.name;
                EXPECT_TRUE(ParseHttpDate(r->get_header_value("Last-Modified"))) << d.name;
                body[d.name] = r->body;
            }
            EXPECT_EQ(body["channels.txt"], "world\tWorld news\ntech\tTech\n");
            EXPECT_EQ(app::ChannelValue(body["channel/world.txt"]), "WORLD|WORLD NEWS|HELLO CAF\xE9");
            EXPECT_EQ(app::ChannelValue(body["channel/tech.txt"]), "TECH|TECH|");
            EXPECT_EQ(body["headlines/world.txt"], "First\thttp://news.example/0\nZ\xC3\xBCrich wins\thttp://news.example/1\n");
            EXPECT_EQ(body["headlines/tech.txt"], "Robots\thttps://news.example/a0\n");
            EXPECT_EQ(app::SponsorFields(body["sponsor.txt"]),
                      std::make_pair(std::string("http://tea.example/"), std::string("Drink tea")));
            const std::string logo = app::LogoAddress(body["sponsor/logo.htm"]);
            EXPECT_EQ(logo, "http://127.0.0.1:8421" + std::string(BasePath) + "sponsor/logo.jpg");
            EXPECT_EQ(body["sponsor/logo.jpg"], Read(folder / "sponsor/logo.jpg"));
            EXPECT_EQ(body["version.txt"], "3.3\nhttp://127.0.0.1:8421" + std::string(BasePath) + "download/setup-3.3.exe\n");
            EXPECT_EQ(body["download/setup-3.3.exe"], "MZ installer");
            EXPECT_EQ(body["ticker4.swf"], "--!movie 1\n");
            EXPECT_EQ(Log(std::size(docs)).size(), std::size(docs));
        }

        TEST_F(ContentTest, ConditionalGetByEntityTagAndByDate)
        {
            Start();
            for (const std::string name : { "headlines/world.txt", "help.htm" })
            {
                const httplib::Result first = Get(name);
                ASSERT_TRUE(first);
                const std::string tag = first->get_header_value("ETag");
                const std::string date = first->get_header_value("Last-Modified");
                const std::time_t modified = *ParseHttpDate(date);

                const int port = front->Port();
                const RawAnswer same = RawGet(port, name, "If-None-Match: \"other\", " + tag + "\r\n");
                EXPECT_EQ(same.status, 304) << name;
                EXPECT_TRUE(same.body.empty());
                // A 304 never claims a length of 0 for the document: no length, or the 200's.
                if (same.headers.contains("content-length"))
                {
                    EXPECT_EQ(same.headers.at("content-length"), std::to_string(first->body.size())) << name;
                }
                EXPECT_EQ(same.headers.count("etag") ? same.headers.at("etag") : "", tag);

                EXPECT_EQ(RawGet(port, name, "If-None-Match: \"other\"\r\n").status, 200) << name;
                EXPECT_EQ(RawGet(port, name, "If-Modified-Since: " + date + "\r\n").status, 304) << name;
                EXPECT_EQ(RawGet(port, name, "If-Modified-Since: " + FormatHttpDate(modified - 1) + "\r\n").status, 200) << name;
                EXPECT_EQ(RawGet(port, name, "If-Modified-Since: garbage\r\n").status, 200) << name;
                // A tag that does not match decides, whatever the date says.
                EXPECT_EQ(RawGet(port, name, "If-None-Match: \"other\"\r\nIf-Modified-Since: " + date + "\r\n").status, 200)
                    << name;
            }
            // A 304 sends no body bytes; a 200 all of them.
            const std::vector<std::string> lines = Log(14);
            const std::string help = "GET " + std::string(BasePath) + "help.htm ";
            EXPECT_NE(std::find(lines.begin(), lines.end(), help + "304 0"), lines.end());
            EXPECT_NE(std::find(lines.begin(), lines.end(), help + "200 " + std::to_string(Read(folder / "help.htm").size())),
                      lines.end());
        }

        TEST_F(ContentTest, HeadAnswersLikeGetWithoutTheBody)
        {
            Start();
            const httplib::Result get = Get("channels.txt");
            const httplib::Result head = client->Head(std::string(BasePath) + "channels.txt");
            ASSERT_TRUE(get && head);
            EXPECT_EQ(head->status, 200);
            EXPECT_TRUE(head->body.empty());
            for (const char* h : { "Content-Length", "Content-Type", "ETag", "Last-Modified" })
                EXPECT_EQ(head->get_header_value(h), get->get_header_value(h)) << h;
            const std::vector<std::string> lines = Log(2);
            EXPECT_NE(std::find(lines.begin(), lines.end(), "HEAD " + std::string(BasePath) + "channels.txt 200 0"), lines.end());
        }

        TEST_F(ContentTest, ARestartTakesThePortBackAndASecondServerDoesNotShareIt)
        {
            Start();
            ASSERT_EQ(Get("channels.txt")->status, 200); // a connection that closes in TIME_WAIT
            const int port = front->Port();
            HttpFront second(*site, [](const std::string&) {});
            EXPECT_FALSE(second.Start("127.0.0.1", port)) << "the port is taken";
            EXPECT_FALSE(front->Start("127.0.0.1", 0)) << "already serving";
            client.reset();
            front->Stop();
            EXPECT_EQ(RawStatus(port, "GET / HTTP/1.1\r\nHost: x\r\n\r\n"), -1) << "nothing listens after a stop";
            HttpFront again(*site, [](const std::string&) {});
            EXPECT_TRUE(again.Start("127.0.0.1", port)) << "a restart binds the same port at once";
            again.Stop();
        }

        TEST_F(ContentTest, OnlyGetAndHead)
        {
            Start();
            client->set_keep_alive(true);
            const std::string path = std::string(BasePath) + "channels.txt";
            for (const httplib::Result& r :
                 { client->Post(path, std::string(10000, 'x'), "text/plain"), client->Put(path, "x", "text/plain"),
                   client->Delete(path), client->Options(path), client->Patch(path, "x", "text/plain") })
            {
                ASSERT_TRUE(r);
                EXPECT_EQ(r->status, 405);
                EXPECT_EQ(r->get_header_value("Allow"), "GET, HEAD");
            }
            // The refused body is never read: the connection closes, and the client goes on with a new one.
            EXPECT_EQ(Get("channels.txt")->status, 200);
            EXPECT_EQ(RawStatus(front->Port(), "TRACE " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"), 405);
            const std::vector<std::string> lines = Log(7);
            EXPECT_NE(std::find(lines.begin(), lines.end(), "POST " + path + " 405 19"), lines.end());
        }

        TEST_F(ContentTest, ABodyOnAGetIsThrownAwayUpToABound)
        {
            Start();
            const std::string head = "GET " + std::string(BasePath) + "channels.txt HTTP/1.1\r\nHost: x\r\nContent-Length: ";
            // Two requests on one connection, each with 40 KiB of body: the bound is per request.
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            timeval wait{ 10, 0 };
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(static_cast<std::uint16_t>(front->Port()));
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
            const std::string request = head + "40960\r\n\r\n" + std::string(40960, 'x');
            std::string answers;
            for (int i = 0; i < 2; ++i)
            {
                ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
                // Each answer is the status line, the header and the 64-byte channel list.
                const std::size_t before = answers.size();
                char buffer[4096];
                while (answers.find("world\tWorld news\ntech\tTech\n", before) == std::string::npos)
                {
                    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                    ASSERT_GT(n, 0) << "request " << i << " got no whole answer: " << answers;
                    answers.append(buffer, static_cast<std::size_t>(n));
                }
                EXPECT_TRUE(answers.substr(before).starts_with("HTTP/1.1 200 ")) << answers.substr(before);
            }
            ::close(fd);
            // A body announced past 64 KiB is refused before it comes; one that
            // comes without a length is cut when it passes 64 KiB, never answered 200.
            EXPECT_EQ(RawStatus(front->Port(), head + "1000000\r\n\r\n"), 413);
            std::string chunked = "GET " + std::string(BasePath) + "channels.txt HTTP/1.1\r\nHost: x\r\n" +
                                  "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
            for (int i = 0; i < 25; ++i)
                chunked += "1000\r\n" + std::string(4096, 'x') + "\r\n";
            EXPECT_NE(RawStatus(front->Port(), chunked + "0\r\n\r\n"), 200);
        }

        TEST_F(ContentTest, RefusesEveryWayOutOfTheFolder)
        {
            Start();
            const std::string b(BasePath);
            const std::pair<std::string, int> cases[] = {
                { "../outside.txt", 404 },
                { "feeds/../../outside.txt", 404 },
                { "%2e%2e/outside.txt", 404 },
                { "link.txt", 404 },
                { ".secret", 404 },
                { "channels.xml", 404 },
                { "sponsor.xml", 404 },
                { "/" + top.string() + "/outside.txt", 404 },
                { "..%2foutside.txt", 400 },
                { "..%2Foutside.txt", 400 },
                { "..%5coutside.txt", 400 },
                { "..\\outside.txt", 400 },
                { "help.htm%00.txt", 400 },
                { "feeds", 404 },
            };
            for (const auto& [name, status] : cases)
            {
                const httplib::Result r = client->Get(b + name);
                ASSERT_TRUE(r) << name;
                EXPECT_EQ(r->status, status) << name;
                EXPECT_EQ(r->body.find("private"), std::string::npos);
                EXPECT_EQ(r->body.find("hidden"), std::string::npos);
            }
            EXPECT_EQ(client->Get("/etc/passwd")->status, 404);
            EXPECT_EQ(RawStatus(front->Port(), "GET " + b + "help.htm" + std::string("\0", 1) + "x HTTP/1.1\r\nHost: x\r\n\r\n"),
                      400);
            EXPECT_EQ(RawStatus(front->Port(),
                                "GET http://127.0.0.1" + b + "help.htm HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"),
                      200);
            // Every request has its line, with the odd bytes escaped.
            const std::vector<std::string> lines = Log(std::size(cases) + 3);
            EXPECT_EQ(lines.size(), std::size(cases) + 3);
            EXPECT_NE(std::find(lines.begin(), lines.end(), "GET " + b + "..\\outside.txt 400 12"), lines.end());
            EXPECT_NE(std::find(lines.begin(), lines.end(), "GET " + b + "help.htm%00.txt 400 12"), lines.end());
            // The raw NUL of the request line, as the log shows it.
            EXPECT_NE(std::find(lines.begin(), lines.end(), "GET " + b + "help.htm%00 400 12"), lines.end());
        }
    } // namespace
} // namespace content::test
