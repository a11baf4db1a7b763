// An HTTP server on the loopback interface, started by a test for itself: it takes
// connections one after another on a thread of its own and lets the test's answer
// function write whatever bytes it likes, as fast or as slowly as it likes.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace os::win32::test
{
    class LoopbackServer
    {
      public:
        class Connection
        {
          public:
            Connection(SOCKET socket, std::string request, const std::atomic<bool>& stopping)
                : _socket(socket), _request(std::move(request)), _stopping(stopping)
            {
            }
            // The request line and headers.
            const std::string& Request() const { return _request; }
            // False once the client has gone.
            bool Send(std::string_view bytes);
            // Waits, or returns false at once when the server is stopping.
            bool Pause(int ms) const;

          private:
            SOCKET _socket;
            std::string _request;
            const std::atomic<bool>& _stopping;
        };
        using Answer = std::function<void(Connection&)>;

        explicit LoopbackServer(Answer answer);
        // Stops taking connections and waits for the answer being written.
        ~LoopbackServer();
        LoopbackServer(const LoopbackServer&) = delete;
        LoopbackServer& operator=(const LoopbackServer&) = delete;

        int Port() const { return _port; }
        std::string Url(const std::string& path) const;
        int Connections() const { return _connections.load(); }
        std::string LastRequest() const;

        // A complete HTTP/1.0 answer; without a length the body ends with the connection.
        static std::string Response(int status, const std::string& body, bool withLength = true);

      private:
        void Serve();

        Answer _answer;
        bool _started = false;
        SOCKET _listener = INVALID_SOCKET;
        int _port = 0;
        std::atomic<bool> _stopping{ false };
        std::atomic<int> _connections{ 0 };
        mutable std::mutex _mutex;
        std::string _lastRequest;
        std::thread _thread;
    };
} // namespace os::win32::test
