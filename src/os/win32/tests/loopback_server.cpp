#include "loopback_server.h"

#include <ws2tcpip.h>

#include <chrono>

namespace os::win32::test
{
    bool LoopbackServer::Connection::Send(std::string_view bytes)
    {
        while (!bytes.empty())
        {
            const int sent = send(_socket, bytes.data(), static_cast<int>(bytes.size()), 0);
            if (sent <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    bool LoopbackServer::Connection::Pause(int ms) const
    {
        for (int waited = 0; waited < ms; waited += 10)
        {
            if (_stopping.load())
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return !_stopping.load();
    }

    LoopbackServer::LoopbackServer(Answer answer) : _answer(std::move(answer))
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
            listen(_listener, 8) != 0 || getsockname(_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        _port = ntohs(address.sin_port);
        _thread = std::thread([this] { Serve(); });
    }

    LoopbackServer::~LoopbackServer()
    {
        _stopping = true;
        if (_thread.joinable())
            _thread.join();
        if (_listener != INVALID_SOCKET)
            closesocket(_listener);
        if (_started)
            WSACleanup();
    }

    std::string LoopbackServer::Url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(_port) + path;
    }

    std::string LoopbackServer::LastRequest() const
    {
        std::lock_guard lock(_mutex);
        return _lastRequest;
    }

    std::string LoopbackServer::Response(int status, const std::string& body, bool withLength)
    {
        std::string head = "HTTP/1.0 " + std::to_string(status) + (status < 400 ? " OK" : " Error") +
                           "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
        if (withLength)
            head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        return head + "\r\n" + body;
    }

    void LoopbackServer::Serve()
    {
        while (!_stopping.load())
        {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(_listener, &ready);
            timeval wait{ 0, 50 * 1000 };
            if (select(0, &ready, nullptr, nullptr, &wait) != 1)
                continue;
            SOCKET client = accept(_listener, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                continue;
            ++_connections;
            // The request: up to the blank line, for at most two seconds.
            std::string request;
            char buffer[1024];
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (request.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < until)
            {
                fd_set readable;
                FD_ZERO(&readable);
                FD_SET(client, &readable);
                timeval tick{ 0, 50 * 1000 };
                if (select(0, &readable, nullptr, nullptr, &tick) != 1)
                    continue;
                const int got = recv(client, buffer, sizeof(buffer), 0);
                if (got <= 0)
                    break;
                request.append(buffer, static_cast<std::size_t>(got));
            }
            {
                std::lock_guard lock(_mutex);
                _lastRequest = request;
            }
            Connection connection(client, request, _stopping);
            _answer(connection);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }
} // namespace os::win32::test
