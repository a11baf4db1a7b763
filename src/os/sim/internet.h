// The simulated internet: a connected flag, URL rules with their bodies, and a
// record of every handle opened and closed.
#pragma once

#include "os/os.h"
#include "os/sim/system.h"

#include <map>
#include <set>

namespace os::sim
{
    // What a URL answers: an HTTP status, and the body as the chunks given (each
    // read returns at most one chunk, cut to the caller's buffer); `failReadAt` makes
    // the read of that chunk index fail instead. A slow server sends each chunk
    // `msPerChunk` after the one before, on the virtual clock; a wait longer than
    // the request's time-out fails once the time-out has passed.
    struct UrlResponse
    {
        std::vector<std::string> chunks;
        int failReadAt = -1;
        DWORD status = 200;
        DWORD msPerChunk = 0;

        static UrlResponse Body(std::string body) { return { { std::move(body) }, -1 }; }
        static UrlResponse Status(DWORD status, std::string body) { return { { std::move(body) }, -1, status }; }
    };

    struct InternetRequest
    {
        std::string url;
        DWORD flags = 0;
        InternetHandle session{};
        DWORD timeoutMs = 0; // the time-out that the request took from its session; 0: none
    };

    class SimInternet final : public IInternet
    {
      public:
        explicit SimInternet(Clock& clock) : _clock(clock) {}

        // ---- scene (test side)
        void SetConnected(bool connected) { _connected = connected; }
        void SetOpenFails(bool fails) { _openFails = fails; }
        // URLs without a rule are unreachable (InternetOpenUrl fails).
        void AddUrl(const std::string& url, UrlResponse response) { _urls[url] = std::move(response); }
        void RemoveUrl(const std::string& url) { _urls.erase(url); }

        // ---- look (test side)
        const std::vector<InternetRequest>& Requests() const { return _requests; }
        const std::vector<std::string>& Agents() const { return _agents; }
        std::size_t OpenHandles() const { return _open.size(); }
        int HandlesOpened() const { return _opened; }

        // ---- IInternet
        bool GetConnectedState() override { return _connected; }
        InternetHandle Open(const std::string& agent, DWORD accessType) override;
        InternetHandle OpenUrl(InternetHandle session, const std::string& url, DWORD flags) override;
        bool ReadFile(InternetHandle request, void* buffer, DWORD size, DWORD& read) override;
        bool Close(InternetHandle handle) override;
        bool SetTimeout(InternetHandle handle, DWORD ms) override;
        bool QueryStatusCode(InternetHandle request, DWORD& status) override;
        bool QueryDataAvailable(InternetHandle request, DWORD& available) override;

      private:
        struct Handle
        {
            bool session = false;
            InternetHandle parent{};
            const UrlResponse* response = nullptr;
            std::size_t chunk = 0;
            std::size_t offset = 0;
            DWORD timeoutMs = 0;
            bool chunkArrived = false; // the slow server's wait for the current chunk is over
        };
        // Waits for the current chunk of a slow answer; false when the wait outlasts
        // the time-out.
        bool WaitForChunk(Handle& h);

        Clock& _clock;
        bool _connected = true;
        bool _openFails = false;
        std::map<std::string, UrlResponse> _urls;
        std::map<InternetHandle, Handle> _open;
        std::vector<InternetRequest> _requests;
        std::vector<std::string> _agents;
        std::intptr_t _next = 0x40010;
        int _opened = 0;
    };
} // namespace os::sim
