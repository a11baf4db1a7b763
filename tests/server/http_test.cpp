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
                ::send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size()))
            {
                char buffer[64] = {};
                if (::recv(fd, buffer, sizeof buffer - 1, MSG_WAITALL) >= 12 && std::string_view(buffer).starts_with("HTTP/1.1 "))
                    status = std::atoi(buffer + 9);
            }
            ::close(fd);
            return status;
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

                const httplib::Result same = Get(name, { { "If-None-Match", "\"other\", " + tag } });
                ASSERT_TRUE(same);
                EXPECT_EQ(same->status, 304) << name;
                EXPECT_TRUE(same->body.empty());
                EXPECT_FALSE(same->has_header("Content-Length")) << name;
                EXPECT_EQ(same->get_header_value("ETag"), tag);

                EXPECT_EQ(Get(name, { { "If-None-Match", "\"other\"" } })->status, 200) << name;
                EXPECT_EQ(Get(name, { { "If-Modified-Since", date } })->status, 304) << name;
                EXPECT_EQ(Get(name, { { "If-Modified-Since", FormatHttpDate(modified - 1) } })->status, 200) << name;
                EXPECT_EQ(Get(name, { { "If-Modified-Since", "garbage" } })->status, 200) << name;
                // A tag that does not match decides, whatever the date says.
                EXPECT_EQ(Get(name, { { "If-None-Match", "\"other\"" }, { "If-Modified-Since", date } })->status, 200) << name;
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
            client.reset();
            front->Stop();
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
            // The refused body was read: the same connection goes on with the next request.
            EXPECT_EQ(Get("channels.txt")->status, 200);
            EXPECT_EQ(RawStatus(front->Port(), "TRACE " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"), 405);
            const std::vector<std::string> lines = Log(7);
            EXPECT_NE(std::find(lines.begin(), lines.end(), "POST " + path + " 405 19"), lines.end());
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
        }
    } // namespace
} // namespace content::test
