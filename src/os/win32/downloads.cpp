#include "os/win32/downloads.h"

#include "os/win32/http.h"

#include "os/download_cache.h"

#include "os/win32/common.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace os::win32
{
    namespace
    {
        constexpr char kAgent[] = "NorvaleTicker";
        constexpr ::DWORD kChunk = 16 * 1024;
        // WinInet's own limit on the length of an address.
        constexpr std::size_t kMaxAddress = INTERNET_MAX_URL_LENGTH;

        enum class Source
        {
            http,
            file
        };

        bool StartsWithNoCase(std::string_view text, std::string_view prefix)
        {
            if (text.size() < prefix.size())
                return false;
            for (std::size_t i = 0; i < prefix.size(); ++i)
            {
                char c = text[i];
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c - 'A' + 'a');
                if (c != prefix[i])
                    return false;
            }
            return true;
        }

        // Where an address is read from; nothing for anything but http, https and a
        // path from a drive's root. Paths of other machines and devices (\\server\share,
        // \\?\, \\.\) are refused: nothing reaches the network here but through http.
        std::optional<Source> SourceOf(const std::string& url)
        {
            if (url.empty() || url.size() > kMaxAddress)
                return std::nullopt;
            for (const unsigned char c : url)
                if (c < 0x20 || c == 0x7F)
                    return std::nullopt;
            if (StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://"))
                return Source::http;
            const bool drive = (url[0] >= 'A' && url[0] <= 'Z') || (url[0] >= 'a' && url[0] <= 'z');
            if (url.size() > 3 && drive && url[1] == ':' && (url[2] == '\\' || url[2] == '/'))
                return Source::file;
            return std::nullopt;
        }

        class Deadline
        {
          public:
            explicit Deadline(::DWORD ms) : _end(GetTickCount64() + (ms ? ms : 1)) {}
            bool Passed() const { return GetTickCount64() >= _end; }
            ::DWORD Remaining() const
            {
                const ULONGLONG now = GetTickCount64();
                return now >= _end ? 0 : static_cast<::DWORD>(_end - now);
            }

          private:
            ULONGLONG _end;
        };

        // Closes a kernel handle when it goes out of scope; an empty or
        // invalid handle is left alone.
        template <BOOL(WINAPI* Close)(HANDLE)> class HandleScope
        {
          public:
            explicit HandleScope(HANDLE handle) : _handle(handle) {}
            HandleScope(const HandleScope&) = delete;
            HandleScope& operator=(const HandleScope&) = delete;
            HandleScope& operator=(HandleScope&& other) noexcept
            {
                std::swap(_handle, other._handle);
                return *this;
            }
            ~HandleScope()
            {
                if (_handle && _handle != INVALID_HANDLE_VALUE)
                    Close(_handle);
            }
            HANDLE Get() const { return _handle; }

          private:
            HANDLE _handle;
        };
        using FileScope = HandleScope<CloseHandle>;

        std::string InternetError(::DWORD code)
        {
            switch (code)
            {
            case ERROR_INTERNET_TIMEOUT: return "timed out";
            case ERROR_INTERNET_NAME_NOT_RESOLVED: return "host name not resolved";
            case ERROR_INTERNET_CANNOT_CONNECT: return "cannot connect";
            case ERROR_INTERNET_CONNECTION_ABORTED:
            case ERROR_INTERNET_CONNECTION_RESET: return "connection lost";
            case ERROR_INTERNET_INVALID_URL:
            case ERROR_INTERNET_UNRECOGNIZED_SCHEME: return "not a valid address";
            default: return "internet error " + std::to_string(code);
            }
        }

        struct Job
        {
            std::uint32_t id = 0;
            HWND notify = nullptr;
            UINT msg = 0;
            // Guarded by Shared::mutex.
            DownloadStatus status;
            bool abandoned = false;
            bool messageWaiting = false;
            // The internet handles the worker has open, closed once: by the worker
            // when it ends, or by the watchdog at the deadline while the worker waits
            // inside WinInet (which is how WinInet lets another thread end a blocking
            // call). Once the deadline has passed the worker makes no further call.
            std::vector<HINTERNET> handles;
            bool expired = false;
            bool inCall = false;
        };
    } // namespace

    namespace
    {
        // A download that has run this long without an end no longer holds up the
        // ones behind it: another worker takes them.
        constexpr ::DWORD kSlowMs = 1000;
        // Workers at most, however many downloads are slow at once.
        constexpr int kMaxWorkers = 4;

        // A download waiting for a worker. Its deadline starts when a worker takes it.
        struct Pending
        {
            std::shared_ptr<Job> job;
            std::string url;
            DownloadLimits limits;
            Source source = Source::http;
        };
    } // namespace

    // The queue and its workers. Under Wine every live thread costs about a megabyte
    // resident, so one worker takes the downloads in turn; while downloads are slow
    // (running for kSlowMs or longer) and others wait, one more worker is started for
    // each slow one, up to kMaxWorkers. A worker ends when nothing waits, or when the
    // slow downloads that called for it have ended.
    struct Win32Downloads::Shared : std::enable_shared_from_this<Shared>
    {
        std::mutex mutex;
        std::map<std::uint32_t, std::shared_ptr<Job>> jobs;
        std::deque<Pending> queue;
        std::uint32_t lastId = 0;
        int workers = 0; // threads started and not yet ended
        int slow = 0;    // downloads running for kSlowMs or longer
        DownloadCache cache;

        // Under the mutex: true when one more worker is wanted for what waits.
        bool WantsWorkerLocked() const { return !queue.empty() && workers < std::min(kMaxWorkers, 1 + slow); }
        // Under the mutex: starts a worker; false when no thread could be made.
        bool StartWorkerLocked();
        void RunWorker();
        // From a download's slow timer: it has run for kSlowMs.
        void Slow(bool& counted);
    };

    namespace
    {
        std::string TimedOut(::DWORD ms)
        {
            return "no complete answer within " + std::to_string(ms) + " ms";
        }

        // A worker's only way to its download's state. Every change is made under the
        // mutex and posted under it too, which is what lets Cancel promise that no
        // message follows its return.
        class Reporter
        {
          public:
            Reporter(std::mutex& mutex, std::shared_ptr<Job> job) : _mutex(mutex), _job(std::move(job)) {}

            // False when the download was abandoned: the worker stops reading.
            bool Progress(std::uint64_t received, std::uint64_t total)
            {
                std::lock_guard lock(_mutex);
                DownloadStatus& s = _job->status;
                if (s.state != DownloadStatus::State::running)
                    return false;
                if (s.received != received || s.total != total)
                {
                    s.received = received;
                    s.total = total;
                    NotifyLocked();
                }
                return !_job->abandoned;
            }
            void HttpStatus(int status)
            {
                std::lock_guard lock(_mutex);
                _job->status.httpStatus = status;
            }
            void Done(std::vector<std::uint8_t> body)
            {
                std::lock_guard lock(_mutex);
                DownloadStatus& s = _job->status;
                if (s.state != DownloadStatus::State::running)
                    return; // the watchdog has already failed it
                s.received = body.size();
                s.body = std::move(body);
                s.state = DownloadStatus::State::done;
                NotifyLocked();
            }
            void Fail(std::string why)
            {
                std::lock_guard lock(_mutex);
                FailLocked(std::move(why));
            }

            // Keeps a handle the worker opened; false (and the handle closed) when the
            // deadline has already passed.
            bool Keep(HINTERNET handle)
            {
                {
                    std::lock_guard lock(_mutex);
                    if (!_job->expired)
                    {
                        _job->handles.push_back(handle);
                        return true;
                    }
                }
                InternetCloseHandle(handle);
                return false;
            }

            // Makes one call that may wait on the network. Nothing when the deadline
            // passed before or during it: the worker must not touch its handles again.
            template <class Call> std::optional<bool> Wait(Call call)
            {
                {
                    std::lock_guard lock(_mutex);
                    if (_job->expired)
                        return std::nullopt;
                    _job->inCall = true;
                }
                const bool ok = call();
                const ::DWORD error = GetLastError();
                std::lock_guard lock(_mutex);
                _job->inCall = false;
                if (_job->expired)
                    return std::nullopt;
                SetLastError(error);
                return ok;
            }

            // The watchdog, at the deadline: the download fails now, whatever the worker
            // is waiting for, and a wait inside WinInet is ended by closing its handles.
            void Expire(::DWORD ms)
            {
                std::vector<HINTERNET> close;
                {
                    std::lock_guard lock(_mutex);
                    if (_job->expired)
                        return;
                    _job->expired = true;
                    FailLocked(TimedOut(ms));
                    if (_job->inCall)
                        close.swap(_job->handles);
                }
                CloseAll(close);
            }

            // The worker, as it ends: what the watchdog did not close.
            void CloseHandles()
            {
                std::vector<HINTERNET> close;
                {
                    std::lock_guard lock(_mutex);
                    _job->expired = true;
                    close.swap(_job->handles);
                }
                CloseAll(close);
            }

          private:
            // Children first: a request, its connection, the session.
            static void CloseAll(std::vector<HINTERNET>& handles)
            {
                for (auto it = handles.rbegin(); it != handles.rend(); ++it)
                    InternetCloseHandle(*it);
            }

            void FailLocked(std::string why)
            {
                DownloadStatus& s = _job->status;
                if (s.state != DownloadStatus::State::running)
                    return;
                s.error = std::move(why);
                s.state = DownloadStatus::State::failed;
                NotifyLocked();
            }

            // One message waits at most: later changes are read by its Query.
            void NotifyLocked()
            {
                if (_job->abandoned || _job->messageWaiting)
                    return;
                if (PostMessageW(_job->notify, _job->msg, static_cast<WPARAM>(_job->id), 0))
                    _job->messageWaiting = true;
            }

            std::mutex& _mutex;
            std::shared_ptr<Job> _job;
        };

        std::string TooLarge(std::size_t cap)
        {
            return "larger than " + std::to_string(cap) + " bytes";
        }

        // Fails the download at its deadline, whatever the worker is waiting for: a
        // thread-pool timer that the worker deletes (waiting for a callback under way)
        // before it ends.
        class Watchdog
        {
          public:
            Watchdog(Reporter& report, ::DWORD ms) : _report(report), _ms(ms)
            {
                if (!CreateTimerQueueTimer(&_timer, nullptr, &Watchdog::Fire, this, ms ? ms : 1, 0, WT_EXECUTEONLYONCE))
                    _timer = nullptr;
            }
            Watchdog(const Watchdog&) = delete;
            Watchdog& operator=(const Watchdog&) = delete;
            ~Watchdog()
            {
                if (_timer)
                    DeleteTimerQueueTimer(nullptr, _timer, INVALID_HANDLE_VALUE);
            }
            bool Armed() const { return _timer != nullptr; }

          private:
            static void CALLBACK Fire(void* self, BOOLEAN)
            {
                auto* watchdog = static_cast<Watchdog*>(self);
                watchdog->_report.Expire(watchdog->_ms);
            }

            Reporter& _report;
            ::DWORD _ms;
            HANDLE _timer = nullptr;
        };

        // The request, sent, with its answer's headers read; null (and the reason in
        // `why`) when it cannot be made, or when the deadline passed (the watchdog has
        // then said why). The connection is made step by step rather than by
        // InternetOpenUrl so that the time-outs are set on the connection and the
        // request themselves: a session's receive time-out does not reach a request on
        // every WinInet (Wine's waits for the headers without end).
        HINTERNET SendRequest(HINTERNET session, const std::string& url, bool followRedirects, const std::string& extraHeaders,
                              const Deadline& deadline, std::string& why, Reporter& report)
        {
            const auto target = CrackHttpUrl(url);
            if (!target)
            {
                why = "not a valid address";
                return nullptr;
            }
            HINTERNET connection =
                InternetConnectA(session, target->host.c_str(), target->port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
            if (!connection)
            {
                why = InternetError(GetLastError());
                return nullptr;
            }
            if (!report.Keep(connection))
                return nullptr;
            SetTimeouts(connection, deadline.Remaining());
            ::DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                            INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH;
            if (target->secure)
                flags |= INTERNET_FLAG_SECURE;
            if (!followRedirects)
                flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
            HINTERNET request = HttpOpenRequestA(connection, "GET", target->object.c_str(), nullptr, nullptr, nullptr, flags, 0);
            if (!request)
            {
                why = InternetError(GetLastError());
                return nullptr;
            }
            if (!report.Keep(request))
                return nullptr;
            SetTimeouts(request, deadline.Remaining());
            // Connecting, sending and the answer's headers: one call, however many waits.
            const std::optional<bool> sent = report.Wait([&] { return SendClosingRequest(request, extraHeaders); });
            if (!sent)
                return nullptr;
            if (!*sent)
            {
                why = InternetError(GetLastError());
                return nullptr;
            }
            return request;
        }

        // Adds what one read brought to the body and reports it; false when the
        // download has ended (too large, out of time or abandoned) and the reader
        // must stop.
        bool Take(std::vector<std::uint8_t>& body, const std::vector<std::uint8_t>& chunk, ::DWORD got,
                  const DownloadLimits& limits, const Deadline& deadline, std::uint64_t total, Reporter& report)
        {
            if (got > limits.maxBytes - body.size())
            {
                report.Fail(TooLarge(limits.maxBytes));
                return false;
            }
            body.insert(body.end(), chunk.begin(), chunk.begin() + got);
            if (deadline.Passed())
            {
                report.Fail(TimedOut(limits.timeoutMs));
                return false;
            }
            return report.Progress(body.size(), total);
        }

        // A header of the answer as text; empty when it has none.
        std::string AnswerHeader(HINTERNET request, ::DWORD which)
        {
            char text[DownloadCache::MaxValidator + 1] = {};
            ::DWORD size = sizeof text;
            if (!HttpQueryInfoA(request, which, text, &size, nullptr) || size >= sizeof text)
                return {};
            return std::string(text, size);
        }

        void ReadHttp(const std::string& url, const DownloadLimits& limits, DownloadCache& cache, Reporter& report)
        {
            const Deadline deadline(limits.timeoutMs);
            const Watchdog watchdog(report, limits.timeoutMs);
            if (!watchdog.Armed())
                return report.Fail("cannot set the time bound");
            const std::string agent = limits.agent.empty() ? kAgent : limits.agent;
            HINTERNET session = InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
            if (!session)
                return report.Fail("cannot open an internet session: " + InternetError(GetLastError()));
            if (!report.Keep(session))
                return;
            SetTimeouts(session, deadline.Remaining());
            std::string why;
            // What was kept of the last answer: the server is asked for the body only if
            // it changed since.
            const std::optional<DownloadCache::Entry> kept = cache.Find(url);
            const std::string conditional = kept ? DownloadCache::ConditionalHeaders(*kept) : std::string();
            HINTERNET request = SendRequest(session, url, limits.followRedirects, conditional, deadline, why, report);
            if (!request)
                return report.Fail(deadline.Passed() ? TimedOut(limits.timeoutMs) : why);
            if (deadline.Passed())
                return report.Fail(TimedOut(limits.timeoutMs));

            ::DWORD status = 0;
            ::DWORD size = sizeof(status);
            if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
                return report.Fail("no HTTP status in the answer");
            report.HttpStatus(static_cast<int>(status));
            if (status == 304)
            {
                if (!kept || conditional.empty())
                    return report.Fail("not modified, but nothing was kept of it");
                return report.Done(kept->body);
            }
            if (status >= 400)
                return report.Fail("HTTP status " + std::to_string(status));
            if (status >= 300 && !limits.followRedirects)
                return report.Fail("redirected to another address");

            ::DWORD length = 0;
            size = sizeof(length);
            const std::uint64_t total =
                HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr) ? length : 0;
            if (total > limits.maxBytes)
                return report.Fail(TooLarge(limits.maxBytes));
            if (!report.Progress(0, total))
                return;

            std::vector<std::uint8_t> body;
            body.reserve(static_cast<std::size_t>(total));
            std::vector<std::uint8_t> chunk(kChunk);
            for (;;)
            {
                // Each wait is for what has arrived: a read of a whole chunk would wait
                // for the chunk to fill, however slowly a server sends it.
                ::DWORD available = 0;
                const std::optional<bool> waited =
                    report.Wait([&] { return InternetQueryDataAvailable(request, &available, 0, 0) != FALSE; });
                if (!waited)
                    return;
                if (!*waited)
                    return report.Fail(deadline.Passed() ? TimedOut(limits.timeoutMs) : InternetError(GetLastError()));
                if (available == 0)
                    break;
                ::DWORD got = 0;
                const std::optional<bool> read = report.Wait(
                    [&]
                    { return InternetReadFile(request, chunk.data(), available < kChunk ? available : kChunk, &got) != FALSE; });
                if (!read)
                    return;
                if (!*read)
                    return report.Fail(deadline.Passed() ? TimedOut(limits.timeoutMs) : InternetError(GetLastError()));
                if (got == 0)
                    break;
                if (!Take(body, chunk, got, limits, deadline, total, report))
                    return;
            }
            // A connection that closes before the announced length is a cut answer.
            if (total != 0 && body.size() != total)
                return report.Fail("the answer ended after " + std::to_string(body.size()) + " of " + std::to_string(total) +
                                   " bytes");
            if (status == 200)
                cache.Keep(url,
                           { AnswerHeader(request, HTTP_QUERY_ETAG), AnswerHeader(request, HTTP_QUERY_LAST_MODIFIED), body });
            else
                cache.Forget(url);
            report.Done(std::move(body));
        }

        void ReadLocalFile(const std::string& path, const DownloadLimits& limits, Reporter& report)
        {
            const Deadline deadline(limits.timeoutMs);
            const std::wstring wide = Widen(path);
            FileScope file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
            if (file.Get() == INVALID_HANDLE_VALUE)
                return report.Fail("cannot open the file (error " + std::to_string(GetLastError()) + ")");
            // A name such as C:\CON opens a device.
            LARGE_INTEGER size{};
            if (GetFileType(file.Get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0)
                return report.Fail("not a file");
            const auto total = static_cast<std::uint64_t>(size.QuadPart);
            if (total > limits.maxBytes)
                return report.Fail(TooLarge(limits.maxBytes));
            if (!report.Progress(0, total))
                return;

            std::vector<std::uint8_t> body;
            body.reserve(static_cast<std::size_t>(total));
            std::vector<std::uint8_t> chunk(kChunk);
            for (;;)
            {
                ::DWORD got = 0;
                if (!::ReadFile(file.Get(), chunk.data(), kChunk, &got, nullptr))
                    return report.Fail("cannot read the file (error " + std::to_string(GetLastError()) + ")");
                if (got == 0)
                    break;
                // The file may have grown since its size was read: the cap holds.
                if (!Take(body, chunk, got, limits, deadline, total, report))
                    return;
            }
            report.Done(std::move(body));
        }

        void Work(Source source, const std::string& url, const DownloadLimits& limits, DownloadCache& cache, Reporter& report)
        {
            try
            {
                if (source == Source::http)
                    ReadHttp(url, limits, cache, report);
                else
                    ReadLocalFile(url, limits, report);
            }
            catch (const std::bad_alloc&)
            {
                report.Fail("out of memory");
            }
            catch (const std::exception& e)
            {
                report.Fail(e.what());
            }
        }
    } // namespace

    namespace
    {
        // Tells the queue once a download has run for kSlowMs: a thread-pool timer that
        // the worker deletes (waiting for a callback under way) when the download ends,
        // and takes the download out of the slow count.
        class SlowTimer
        {
          public:
            explicit SlowTimer(Win32Downloads::Shared& shared) : _shared(shared)
            {
                if (!CreateTimerQueueTimer(&_timer, nullptr, &SlowTimer::Fire, this, kSlowMs, 0, WT_EXECUTEONLYONCE))
                    _timer = nullptr;
            }
            SlowTimer(const SlowTimer&) = delete;
            SlowTimer& operator=(const SlowTimer&) = delete;
            ~SlowTimer()
            {
                if (_timer)
                    DeleteTimerQueueTimer(nullptr, _timer, INVALID_HANDLE_VALUE);
                std::lock_guard lock(_shared.mutex);
                if (_counted)
                    --_shared.slow;
            }

          private:
            static void CALLBACK Fire(void* self, BOOLEAN)
            {
                auto* timer = static_cast<SlowTimer*>(self);
                timer->_shared.Slow(timer->_counted);
            }

            Win32Downloads::Shared& _shared;
            HANDLE _timer = nullptr;
            bool _counted = false; // guarded by the shared mutex
        };
    } // namespace

    bool Win32Downloads::Shared::StartWorkerLocked()
    {
        try
        {
            std::thread([self = shared_from_this()] { self->RunWorker(); }).detach();
        }
        catch (const std::system_error&)
        {
            return false;
        }
        ++workers;
        return true;
    }

    void Win32Downloads::Shared::Slow(bool& counted)
    {
        std::lock_guard lock(mutex);
        counted = true;
        ++slow;
        // No thread now: the workers there are take what waits in turn.
        if (WantsWorkerLocked())
            StartWorkerLocked();
    }

    void Win32Downloads::Shared::RunWorker()
    {
        for (;;)
        {
            Pending next;
            {
                std::lock_guard lock(mutex);
                // A worker more than the slow downloads call for ends too.
                if (queue.empty() || workers > std::min(kMaxWorkers, 1 + slow))
                {
                    --workers;
                    return;
                }
                next = std::move(queue.front());
                queue.pop_front();
            }
            Reporter report(mutex, next.job);
            {
                const SlowTimer slowTimer(*this);
                Work(next.source, next.url, next.limits, cache, report);
            }
            report.CloseHandles();
        }
    }

    // ------------------------------------------------------------------ the adapter

    Win32Downloads::Win32Downloads() : _shared(std::make_shared<Shared>()) {}

    Win32Downloads::~Win32Downloads()
    {
        std::lock_guard lock(_shared->mutex);
        for (auto& [id, job] : _shared->jobs)
            job->abandoned = true;
        _shared->jobs.clear();
        _shared->queue.clear();
    }

    std::uint32_t Win32Downloads::Start(const std::string& url, const DownloadLimits& limits, Hwnd notify, UINT msg)
    {
        const std::optional<Source> source = SourceOf(url);
        if (!source || !IsWindow(ToHwnd(notify)))
            return 0;
        auto job = std::make_shared<Job>();
        job->notify = ToHwnd(notify);
        job->msg = msg;
        std::lock_guard lock(_shared->mutex);
        do
            ++_shared->lastId;
        while (_shared->lastId == 0 || _shared->jobs.count(_shared->lastId));
        job->id = _shared->lastId;
        _shared->jobs.emplace(job->id, job);
        _shared->queue.push_back({ job, url, limits, *source });
        if (_shared->WantsWorkerLocked() && !_shared->StartWorkerLocked() && _shared->workers == 0)
        {
            // No worker to take it: it does not start.
            _shared->queue.pop_back();
            _shared->jobs.erase(job->id);
            return 0;
        }
        return job->id;
    }

    bool Win32Downloads::Query(std::uint32_t id, DownloadStatus& status)
    {
        std::lock_guard lock(_shared->mutex);
        const auto it = _shared->jobs.find(id);
        if (it == _shared->jobs.end())
            return false;
        Job& job = *it->second;
        job.messageWaiting = false;
        const DownloadStatus& s = job.status;
        status.state = s.state;
        status.received = s.received;
        status.total = s.total;
        status.httpStatus = s.httpStatus;
        status.error = s.error;
        status.body.clear();
        if (s.state != DownloadStatus::State::running)
        {
            status.body = std::move(job.status.body);
            _shared->jobs.erase(it);
        }
        return true;
    }

    void Win32Downloads::Cancel(std::uint32_t id)
    {
        std::lock_guard lock(_shared->mutex);
        const auto it = _shared->jobs.find(id);
        if (it == _shared->jobs.end())
            return;
        // One that waits still asks when its turn comes, as one that runs has asked:
        // the server sees every download started (the strip's first movie is set and
        // replaced at once, and its request is how a start shows at the server). It
        // reads no body and tells nothing.
        it->second->abandoned = true;
        _shared->jobs.erase(it);
    }

    int Win32Downloads::RunningWorkers() const
    {
        std::lock_guard lock(_shared->mutex);
        return _shared->workers;
    }

    int Win32Downloads::Waiting() const
    {
        std::lock_guard lock(_shared->mutex);
        return static_cast<int>(_shared->queue.size());
    }
} // namespace os::win32
