// WinInet through the adapter, against an HTTP server on the loopback interface run
// by the test itself.
#include "loopback_server.h"

#include "os/win32/backend.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace os::win32::test
{
    TEST(InternetTest, UrlIsReadToTheEndInChunksIncludingNulBytes)
    {
        const std::string body("ticker=1&text=caf\xE9\0end", 22);
        LoopbackServer server([&](LoopbackServer::Connection& c) { c.Send(LoopbackServer::Response(200, body)); });
        ASSERT_NE(server.Port(), 0);
        auto backend = CreateBackend();
        IInternet& net = backend->Os().internet;

        const InternetHandle session = net.Open("NorvaleBackendTest", inet::open_type_preconfig);
        ASSERT_NE(session, InternetHandle{});
        const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/feed.txt?tid=42";
        const InternetHandle request = net.OpenUrl(session, url, inet::flag_no_cache_write);
        ASSERT_NE(request, InternetHandle{});

        std::string read;
        char chunk[5];
        DWORD got = 0;
        while (net.ReadFile(request, chunk, sizeof(chunk), got) && got > 0)
            read.append(chunk, got);
        EXPECT_EQ(read, body);
        EXPECT_TRUE(net.ReadFile(request, chunk, sizeof(chunk), got)); // at the end: success, nothing read
        EXPECT_EQ(got, 0u);
        EXPECT_TRUE(net.Close(request));
        EXPECT_TRUE(net.Close(session));

        EXPECT_EQ(server.LastRequest().rfind("GET /feed.txt?tid=42 HTTP/1.", 0), 0u) << server.LastRequest();
        EXPECT_NE(server.LastRequest().find("User-Agent: NorvaleBackendTest"), std::string::npos) << server.LastRequest();
        EXPECT_NE(server.LastRequest().find("\r\nConnection: close\r\n"), std::string::npos) << "nothing kept open";
    }

    TEST(InternetTest, UnreachableUrlGivesNoHandle)
    {
        auto backend = CreateBackend();
        IInternet& net = backend->Os().internet;
        const InternetHandle session = net.Open("NorvaleBackendTest", inet::open_type_preconfig);
        ASSERT_NE(session, InternetHandle{});
        // Port 1 on the loopback interface: nobody listens there.
        EXPECT_EQ(net.OpenUrl(session, "http://127.0.0.1:1/", inet::flag_no_cache_write), InternetHandle{});
        EXPECT_EQ(net.OpenUrl(session, "not a url", 0), InternetHandle{});
        EXPECT_TRUE(net.Close(session));
    }

    TEST(InternetTest, StatusIsReadAndASessionsTimeOutBoundsTheWaitsOfItsRequests)
    {
        LoopbackServer missing([&](LoopbackServer::Connection& c) { c.Send(LoopbackServer::Response(404, "Not Found")); });
        LoopbackServer silent(
            [&](LoopbackServer::Connection& c)
            {
                if (c.Send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nab"))
                    c.Pause(30000);
            });
        auto backend = CreateBackend();
        IInternet& net = backend->Os().internet;
        const InternetHandle session = net.Open("NorvaleBackendTest", inet::open_type_preconfig);
        ASSERT_NE(session, InternetHandle{});
        EXPECT_TRUE(net.SetTimeout(session, 1000));

        const InternetHandle gone = net.OpenUrl(session, missing.Url("/gone"), inet::flag_no_cache_write);
        ASSERT_NE(gone, InternetHandle{});
        DWORD status = 0;
        EXPECT_TRUE(net.QueryStatusCode(gone, status));
        EXPECT_EQ(status, 404u);
        EXPECT_TRUE(net.Close(gone));

        const InternetHandle request = net.OpenUrl(session, silent.Url("/silent"), inet::flag_no_cache_write);
        ASSERT_NE(request, InternetHandle{});
        EXPECT_TRUE(net.QueryStatusCode(request, status));
        EXPECT_EQ(status, 200u);
        DWORD available = 0;
        char buffer[16];
        DWORD got = 0;
        EXPECT_TRUE(net.QueryDataAvailable(request, available));
        EXPECT_EQ(available, 2u);
        EXPECT_TRUE(net.ReadFile(request, buffer, available, got));
        EXPECT_EQ(got, 2u);
        const DWORD start = backend->Os().system.GetTickCount();
        EXPECT_FALSE(net.QueryDataAvailable(request, available)) << "nothing more comes";
        const DWORD waited = backend->Os().system.GetTickCount() - start;
        EXPECT_GE(waited, 800u);
        EXPECT_LT(waited, 5000u) << "the wait ends at the time-out, not when the server gives up";
        EXPECT_TRUE(net.Close(request));
        EXPECT_FALSE(net.QueryStatusCode(session, status)) << "a session has no answer";
        EXPECT_TRUE(net.Close(session));
    }
} // namespace os::win32::test
