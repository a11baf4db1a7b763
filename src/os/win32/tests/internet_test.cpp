// WinInet through the adapter, against a one-shot HTTP server on the loopback
// interface run by the test itself.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "os/win32/backend.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

namespace os::win32::test
{
    namespace
    {
        // Answers one request with `response`, then closes. Gives up after two seconds.
        class OneShotServer
        {
          public:
            explicit OneShotServer(std::string response) : _response(std::move(response))
            {
                WSADATA wsa{};
                _started = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
                _listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
                sockaddr_in address{};
                address.sin_family = AF_INET;
                address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                address.sin_port = 0;
                int length = sizeof(address);
                if (_listener == INVALID_SOCKET || bind(_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
                    listen(_listener, 1) != 0 || getsockname(_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
                    return;
                _port = ntohs(address.sin_port);
                _thread = std::thread([this] { Serve(); });
            }
            OneShotServer(const OneShotServer&) = delete;
            OneShotServer& operator=(const OneShotServer&) = delete;
            ~OneShotServer()
            {
                if (_thread.joinable())
                    _thread.join();
                if (_listener != INVALID_SOCKET)
                    closesocket(_listener);
                if (_started)
                    WSACleanup();
            }
            int Port() const { return _port; }
            const std::string& Request() const { return _request; } // valid once the client is done

          private:
            void Serve()
            {
                fd_set ready;
                FD_ZERO(&ready);
                FD_SET(_listener, &ready);
                timeval wait{ 2, 0 };
                if (select(0, &ready, nullptr, nullptr, &wait) != 1)
                    return;
                SOCKET client = accept(_listener, nullptr, nullptr);
                if (client == INVALID_SOCKET)
                    return;
                char buffer[1024];
                while (_request.find("\r\n\r\n") == std::string::npos)
                {
                    const int got = recv(client, buffer, sizeof(buffer), 0);
                    if (got <= 0)
                        break;
                    _request.append(buffer, static_cast<std::size_t>(got));
                }
                send(client, _response.data(), static_cast<int>(_response.size()), 0);
                shutdown(client, SD_SEND);
                closesocket(client);
            }

            std::string _response;
            bool _started = false;
            SOCKET _listener = INVALID_SOCKET;
            int _port = 0;
            std::string _request;
            std::thread _thread;
        };
    } // namespace

    TEST(InternetTest, UrlIsReadToTheEndInChunksIncludingNulBytes)
    {
        const std::string body("ticker=1&text=caf\xE9\0end", 22);
        OneShotServer server("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\nConnection: close\r\n\r\n" + body);
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

        EXPECT_EQ(server.Request().rfind("GET /feed.txt?tid=42 HTTP/1.", 0), 0u) << server.Request();
        EXPECT_NE(server.Request().find("User-Agent: NorvaleBackendTest"), std::string::npos) << server.Request();
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
} // namespace os::win32::test
