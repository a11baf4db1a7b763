// The simulated downloads of the movie player: on the virtual clock, with the
// responses, delays, chunking and failures that the test chooses. What a real
// worker thread would do happens as background work of the simulated loop, and
// every change posts the caller's message, as the real backend does.
#pragma once

#include "os/download_cache.h"
#include "os/os.h"
#include "os/sim/windows.h"

#include <map>
#include <string>

namespace os::sim
{
    // What an address answers, on the virtual clock: the connection takes
    // `connectMs`, the answer's headers `headersMs` more, and the body arrives
    // `delayMs` after them in `steps` equal parts `stepMs` apart (one posted message
    // per part, and the last part also completes the download). An address without
    // a response fails as unreachable once `connectMs` of the default response (0)
    // have passed. Whatever a download waits for, it fails at its deadline, as the
    // real downloads' watchdog makes it.
    struct DownloadResponse
    {
        std::string body;
        int httpStatus = 200; // 0 for a local file; 400 and above fails
        std::uint64_t connectMs = 0;
        std::uint64_t headersMs = 0;
        std::uint64_t delayMs = 0; // after the headers, before the first part
        int steps = 1;
        std::uint64_t stepMs = 0;
        bool announceLength = true; // the total is known from the start
        int failAtStep = -1;        // that part fails the download instead (connection lost)
        std::string redirectTo;     // an answer that sends the client to this address instead
        // Validators: a download that sends back the ones it kept gets a 304 with no
        // body while they are still the same (the body then comes from the kept copy).
        std::string etag;
        std::string lastModified;
        // The connection closes after this many bytes of the body: with the length
        // announced, a failure; without, the body is what came.
        std::size_t cutAfter = std::string::npos;

        static DownloadResponse Body(std::string body)
        {
            DownloadResponse r;
            r.body = std::move(body);
            return r;
        }
        static DownloadResponse Status(int status, std::string body)
        {
            DownloadResponse r = Body(std::move(body));
            r.httpStatus = status;
            return r;
        }
        static DownloadResponse File(std::string body)
        {
            DownloadResponse r = Body(std::move(body));
            r.httpStatus = 0;
            return r;
        }
        static DownloadResponse Redirect(std::string to)
        {
            DownloadResponse r;
            r.httpStatus = 302;
            r.redirectTo = std::move(to);
            return r;
        }
    };

    struct DownloadRequest
    {
        std::uint32_t id = 0;
        std::string url;
        DownloadLimits limits;
        std::uint64_t started = 0; // virtual time
        bool cancelled = false;
        bool finished = false;    // done or failed
        bool conditional = false; // it sent validators kept from an earlier answer
        bool notModified = false; // and the answer was a 304
    };

    class SimDownloads final : public IDownloads
    {
      public:
        explicit SimDownloads(SimWindows& windows, Clock& clock) : _windows(windows), _clock(clock) {}

        // ---- scene (test side)
        void Serve(const std::string& url, DownloadResponse response) { _responses[url] = std::move(response); }
        // A local file (an absolute path) with these bytes.
        void AddFile(const std::string& path, std::string body) { Serve(path, DownloadResponse::File(std::move(body))); }
        void Remove(const std::string& url) { _responses.erase(url); }

        // ---- look (test side)
        const std::vector<DownloadRequest>& Requests() const { return _requests; }
        // Downloads started and neither finished nor cancelled.
        std::size_t Running() const;
        // Downloads whose slot is still held: running, or finished and not yet queried.
        std::size_t Held() const { return _active.size(); }
        std::vector<std::string> Urls() const;

        // ---- IDownloads
        std::uint32_t Start(const std::string& url, const DownloadLimits& limits, Hwnd notify, UINT msg) override;
        bool Query(std::uint32_t id, DownloadStatus& status) override;
        void Cancel(std::uint32_t id) override;

      private:
        struct Active
        {
            DownloadStatus status;
            DownloadResponse response;
            Hwnd notify{};
            UINT msg = 0;
            std::uint64_t work = 0; // the next scheduled step
            std::uint64_t deadline = 0;
            DWORD timeoutMs = 0;
            std::size_t maxBytes = 0;
            bool redirectRefused = false; // a redirect that the download may not follow
            bool finished = false;        // the last message was posted; waiting for the query
            std::string url;              // as asked, for the kept copy
        };
        void Step(std::uint32_t id, int step);
        void Fail(Active& a, std::uint32_t id, std::string error);
        DownloadRequest* Request(std::uint32_t id);

        SimWindows& _windows;
        Clock& _clock;
        std::map<std::string, DownloadResponse> _responses;
        std::map<std::uint32_t, Active> _active;
        std::vector<DownloadRequest> _requests;
        std::uint32_t _next = 1;
        DownloadCache _cache;
    };
} // namespace os::sim
