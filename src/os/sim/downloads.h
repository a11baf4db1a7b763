// The simulated downloads of the movie player: on the virtual clock, with the
// responses, delays, chunking and failures that the test chooses. They are
// scheduled as the real backend schedules them: a queue in the order asked, one
// worker taking the downloads in turn, one more worker for what waits while a
// download has run for a second without an end (four at most), and each deadline
// counted from when a worker takes the download. What a real worker thread would
// do happens as background work of the simulated loop, and every change posts the
// caller's message, as the real backend does.
#pragma once

#include "os/download_cache.h"
#include "os/os.h"
#include "os/sim/windows.h"

#include <deque>
#include <limits>
#include <map>
#include <string>

namespace os::sim
{
    // What an address answers, on the virtual clock, from when a worker takes the
    // download: the connection takes `connectMs`, the answer's headers `headersMs`
    // more, and the body arrives `delayMs` after them in `steps` equal parts `stepMs`
    // apart (one posted message per part, and the last part also completes the
    // download). An address without a response fails as unreachable once `connectMs`
    // of the default response (0) have passed. Whatever a download waits for, it
    // fails at its deadline, as the real downloads' watchdog makes it.
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
        static constexpr std::uint64_t kNotTaken = std::numeric_limits<std::uint64_t>::max();

        std::uint32_t id = 0;
        std::string url;
        DownloadLimits limits;
        std::uint64_t started = 0; // virtual time of the Start
        bool cancelled = false;
        bool finished = false;    // done or failed
        bool conditional = false; // it sent validators kept from an earlier answer
        bool notModified = false; // and the answer was a 304
        // When a worker took it: the server is asked from then on (a cancelled
        // download that waited is still asked when its turn comes).
        std::uint64_t taken = kNotTaken;
        bool Taken() const { return taken != kNotTaken; }
    };

    class SimDownloads final : public IDownloads
    {
      public:
        // A download that has run this long without an end no longer holds up the
        // ones behind it: another worker takes them.
        static constexpr std::uint64_t kSlowMs = 1000;
        // Workers at most, however many downloads are slow at once.
        static constexpr int kMaxWorkers = 4;

        explicit SimDownloads(SimWindows& windows, Clock& clock) : _windows(windows), _clock(clock) {}
        // Whatever is still scheduled is dropped: nothing more is asked or told.
        ~SimDownloads();
        SimDownloads(const SimDownloads&) = delete;
        SimDownloads& operator=(const SimDownloads&) = delete;

        // ---- scene (test side)
        void Serve(const std::string& url, DownloadResponse response) { _responses[url] = std::move(response); }
        // A local file (an absolute path) with these bytes.
        void AddFile(const std::string& path, std::string body) { Serve(path, DownloadResponse::File(std::move(body))); }
        void Remove(const std::string& url) { _responses.erase(url); }

        // ---- look (test side)
        const std::vector<DownloadRequest>& Requests() const { return _requests; }
        // Downloads started and neither finished nor cancelled, waiting ones included.
        std::size_t Running() const;
        // Downloads whose slot is still held: running or waiting, or finished and not
        // yet queried; a cancelled one no longer.
        std::size_t Held() const;
        std::vector<std::string> Urls() const;
        // Downloads that wait for a worker, cancelled ones included.
        std::size_t Waiting() const { return _queue.size(); }
        // Workers at work, on cancelled downloads too.
        int Workers() const { return _workers; }

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
            std::uint64_t work = 0;      // the next scheduled step
            std::uint64_t workDue = 0;   // and when it comes
            std::uint64_t slowTimer = 0; // while it runs, until it has run kSlowMs
            std::uint64_t deadline = 0;  // from the take
            std::uint64_t headersAt = 0; // the answer's headers come (a cancelled one stops there)
            DownloadLimits limits;
            bool slow = false;            // it counts among the slow downloads
            bool redirectRefused = false; // a redirect that the download may not follow
            bool abandoned = false;       // cancelled: asks, when taken, but tells nothing
            std::string url;              // as asked, for the kept copy
        };
        bool WantsWorker() const;
        void StartWorker();
        // A worker, free: takes the next download, or ends.
        void NextForWorker();
        void Take(std::uint32_t id);
        void Slow(std::uint32_t id);
        // The worker is done with the download.
        void Release(std::uint32_t id);
        void Schedule(std::uint32_t id, Active& a, std::uint64_t due, int step);
        void Step(std::uint32_t id, int step);
        void Fail(std::uint32_t id, Active& a, std::string error);
        DownloadRequest* Request(std::uint32_t id);

        SimWindows& _windows;
        Clock& _clock;
        std::map<std::string, DownloadResponse> _responses;
        // Every download a worker has or will have, and the finished ones not queried.
        std::map<std::uint32_t, Active> _active;
        std::deque<std::uint32_t> _queue;
        int _workers = 0;                              // started and not yet ended
        int _slow = 0;                                 // downloads running for kSlowMs or longer
        std::map<std::uint64_t, std::uint64_t> _spawn; // workers started and not yet at work: their work
        std::uint64_t _spawned = 0;
        std::vector<DownloadRequest> _requests;
        std::uint32_t _next = 1;
        DownloadCache _cache;
    };
} // namespace os::sim
