// FetchUrlText through the real WinInet: the body read whole in 1024-byte reads, a
// NUL byte, an error status, and a server too slow for the time bound.
#include "app/fetch.h"
#include "loopback_server.h"
#include "os/win32/backend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace
{
    using os::win32::test::LoopbackServer;

    class FetchTest : public ::testing::Test
    {
      protected:
        FetchTest() : backend(os::win32::CreateBackend()), os(backend->Os()) {}
        ~FetchTest() override
        {
            if (session != os::InternetHandle{})
                os.internet.Close(session);
        }
        std::string Fetch(const std::string& url, const app::FetchLimits& limits = {})
        {
            if (session == os::InternetHandle{})
                session = app::OpenFetchSession(os.internet);
            return app::FetchUrlText(
                os, session, url, [this](const std::string& line) { traces.push_back(line); }, limits);
        }

        std::unique_ptr<os::win32::Backend> backend;
        os::Os& os;
        os::InternetHandle session{};
        std::vector<std::string> traces;
    };
} // namespace

TEST_F(FetchTest, ABodyOf3000BytesIsReadWholeAndTheAgentNamesTheTicker)
{
    std::string body;
    for (int i = 0; i < 3000; ++i)
        body.push_back(static_cast<char>('a' + i % 26));
    body.replace(1020, 9, "<channel>");
    LoopbackServer server([&](LoopbackServer::Connection& c) { c.Send(LoopbackServer::Response(200, body)); });
    ASSERT_NE(server.Port(), 0);
    EXPECT_EQ(Fetch(server.Url("/channel.xml")), body);
    EXPECT_TRUE(traces.empty());
    EXPECT_EQ(server.LastRequest().rfind("GET /channel.xml HTTP/1.", 0), 0u) << server.LastRequest();
    EXPECT_NE(server.LastRequest().find("User-Agent: Norvale Desktop Ticker"), std::string::npos) << server.LastRequest();

    // The same body without a length, ending with the connection.
    LoopbackServer unsized([&](LoopbackServer::Connection& c) { c.Send(LoopbackServer::Response(200, body, false)); });
    EXPECT_EQ(Fetch(unsized.Url("/x")), body);
}

TEST_F(FetchTest, ANulByteCutsOffTheRestOfItsReadOnly)
{
    // The server sends the body in two parts with a pause, so that the NUL and the
    // bytes after it arrive in one read and the tail in a later one.
    const std::string head("<name>Top\0junk", 14);
    const std::string tail = "</name>";
    LoopbackServer server(
        [&](LoopbackServer::Connection& c)
        {
            std::string answer = LoopbackServer::Response(200, head + tail);
            const std::size_t split = answer.size() - tail.size();
            if (c.Send(answer.substr(0, split)) && c.Pause(300))
                c.Send(answer.substr(split));
        });
    EXPECT_EQ(Fetch(server.Url("/nul")), "<name>Top</name>");
}

TEST_F(FetchTest, AnErrorStatusIsAFailedFetch)
{
    LoopbackServer server([&](LoopbackServer::Connection& c)
                          { c.Send(LoopbackServer::Response(404, "<channel>Not Found</channel><name>404</name>")); });
    EXPECT_EQ(Fetch(server.Url("/gone.xml")), "");
    EXPECT_EQ(traces, (std::vector<std::string>{ "fetch failed: HTTP status 404" }));
    EXPECT_EQ(server.Connections(), 1);
}

TEST_F(FetchTest, AServerThatTricklesIsGivenUpAtTheTimeBound)
{
    // Headers at once, then one byte every 100 ms for a minute.
    LoopbackServer server(
        [&](LoopbackServer::Connection& c)
        {
            if (!c.Send("HTTP/1.0 200 OK\r\nContent-Length: 600\r\nConnection: close\r\n\r\n"))
                return;
            for (int i = 0; i < 600 && c.Pause(100); ++i)
                if (!c.Send("x"))
                    return;
        });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Fetch(server.Url("/slow")), "");
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 14.5);
    EXPECT_LT(seconds, 18.0) << "the strip is not frozen much longer than the bound";
    EXPECT_EQ(traces, (std::vector<std::string>{ "fetch failed: no complete answer within 15000 ms" }));
}

TEST_F(FetchTest, AServerThatSendsNothingIsGivenUpAtTheTimeBound)
{
    // Headers at once, then silence.
    LoopbackServer server(
        [&](LoopbackServer::Connection& c)
        {
            if (c.Send("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabc"))
                c.Pause(60000);
        });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Fetch(server.Url("/stalled"), { 1u << 20, 3000 }), "");
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 2.5);
    EXPECT_LT(seconds, 6.0);
    EXPECT_EQ(traces, (std::vector<std::string>{ "fetch failed: no complete answer within 3000 ms" }));
}
