#include "os/sim/downloads.h"

#include <algorithm>

namespace os::sim
{
    std::vector<std::string> SimDownloads::Urls() const
    {
        std::vector<std::string> out;
        for (const auto& r : _requests)
            out.push_back(r.url);
        return out;
    }

    std::size_t SimDownloads::Running() const
    {
        return static_cast<std::size_t>(std::count_if(_requests.begin(), _requests.end(),
                                                      [](const DownloadRequest& r) { return !r.cancelled && !r.finished; }));
    }

    // Ids are handed out in order from 1, one request each: a year of simulated
    // running makes hundreds of thousands, so no search.
    DownloadRequest* SimDownloads::Request(std::uint32_t id)
    {
        if (id == 0 || id > _requests.size() || _requests[id - 1].id != id)
            return nullptr;
        return &_requests[id - 1];
    }

    SimDownloads::~SimDownloads()
    {
        for (auto& [id, a] : _active)
        {
            if (a.work)
                _windows.CancelWork(a.work);
            if (a.slowTimer)
                _windows.CancelWork(a.slowTimer);
        }
        for (const auto& [key, work] : _spawn)
            _windows.CancelWork(work);
    }

    std::size_t SimDownloads::Held() const
    {
        return static_cast<std::size_t>(
            std::count_if(_active.begin(), _active.end(), [](const auto& entry) { return !entry.second.abandoned; }));
    }

    std::uint32_t SimDownloads::Start(const std::string& url, const DownloadLimits& limits, Hwnd notify, UINT msg)
    {
        if (!_windows.IsWindow(notify))
            return 0;
        const std::uint32_t id = _next++;
        _requests.push_back({ id, url, limits, _clock.Now() });
        Active& a = _active[id];
        a.notify = notify;
        a.msg = msg;
        a.limits = limits;
        a.url = url;
        _queue.push_back(id);
        if (WantsWorker())
            StartWorker();
        return id;
    }

    bool SimDownloads::WantsWorker() const
    {
        return !_queue.empty() && _workers < std::min(kMaxWorkers, 1 + _slow);
    }

    // A worker starts as a thread does: it takes its first download once the caller
    // has gone on, at the same virtual time.
    void SimDownloads::StartWorker()
    {
        ++_workers;
        const std::uint64_t key = ++_spawned;
        _spawn[key] = _windows.ScheduleWork(_clock.Now(),
                                            [this, key]
                                            {
                                                _spawn.erase(key);
                                                NextForWorker();
                                            });
    }

    void SimDownloads::NextForWorker()
    {
        // A worker more than the slow downloads call for ends too.
        if (_queue.empty() || _workers > std::min(kMaxWorkers, 1 + _slow))
        {
            --_workers;
            return;
        }
        const std::uint32_t id = _queue.front();
        _queue.pop_front();
        Take(id);
    }

    // The server is asked now: what it answers, and whether with the validators kept
    // of an earlier answer, is settled at the take, as a worker settles it.
    void SimDownloads::Take(std::uint32_t id)
    {
        Active& a = _active.at(id);
        const std::uint64_t now = _clock.Now();
        DownloadRequest* request = Request(id);
        if (request)
            request->taken = now;
        a.deadline = now + (a.limits.timeoutMs ? a.limits.timeoutMs : 1);
        auto rule = _responses.find(a.url);
        // Redirects are followed, as WinInet follows them, a few hops at most, unless
        // the download asked for none.
        for (int hops = 0; rule != _responses.end() && !rule->second.redirectTo.empty(); ++hops)
        {
            if (!a.limits.followRedirects || hops == 5)
            {
                a.redirectRefused = true;
                break;
            }
            rule = _responses.find(rule->second.redirectTo);
        }
        if (rule == _responses.end())
        {
            a.response.steps = 0; // unreachable
            a.response.httpStatus = -1;
        }
        else
        {
            a.response = rule->second;
            // What was kept of the last answer goes back as validators; a server whose
            // document still has them answers 304 without a body.
            const auto kept = a.response.httpStatus == 0 ? std::nullopt : _cache.Find(a.url);
            if (kept && !DownloadCache::ConditionalHeaders(*kept).empty() && !a.redirectRefused)
            {
                if (request)
                    request->conditional = true;
                const bool same =
                    (!kept->etag.empty() && kept->etag == a.response.etag) ||
                    (kept->etag.empty() && !kept->lastModified.empty() && kept->lastModified == a.response.lastModified);
                if (same && a.response.httpStatus == 200)
                {
                    if (request)
                        request->notModified = true;
                    a.response.httpStatus = 304;
                    a.response.body.assign(kept->body.begin(), kept->body.end());
                    a.response.steps = 1;
                    a.response.delayMs = 0;
                    a.response.cutAfter = std::string::npos;
                }
            }
            a.status.httpStatus = a.response.httpStatus;
            if (a.response.announceLength && a.response.httpStatus < 400 && a.response.httpStatus != 304)
                a.status.total = a.response.body.size();
        }
        a.headersAt = now + a.response.connectMs + a.response.headersMs;
        // A cancelled download reads no body: it ends with the headers.
        Schedule(id, a, a.abandoned ? a.headersAt : a.headersAt + a.response.delayMs, 0);
        a.slowTimer = _windows.ScheduleWork(now + kSlowMs, [this, id] { Slow(id); });
    }

    void SimDownloads::Slow(std::uint32_t id)
    {
        Active& a = _active.at(id);
        a.slowTimer = 0;
        a.slow = true;
        ++_slow;
        if (WantsWorker())
            StartWorker();
    }

    void SimDownloads::Release(std::uint32_t id)
    {
        const auto it = _active.find(id);
        Active& a = it->second;
        if (a.slowTimer)
            _windows.CancelWork(a.slowTimer);
        a.slowTimer = 0;
        if (a.slow)
            --_slow;
        a.slow = false;
        if (a.abandoned)
            _active.erase(it);
        NextForWorker();
    }

    void SimDownloads::Schedule(std::uint32_t id, Active& a, std::uint64_t due, int step)
    {
        a.workDue = std::min(due, a.deadline);
        a.work = _windows.ScheduleWork(a.workDue, [this, id, step] { Step(id, step); });
    }

    void SimDownloads::Fail(std::uint32_t id, Active& a, std::string error)
    {
        a.status.state = DownloadStatus::State::failed;
        a.status.error = std::move(error);
        a.status.body.clear();
        if (auto* r = Request(id))
            r->finished = true;
        _windows.Post(a.notify, a.msg, id, 0);
        Release(id);
    }

    void SimDownloads::Step(std::uint32_t id, int step)
    {
        auto it = _active.find(id);
        if (it == _active.end())
            return;
        Active& a = it->second;
        a.work = 0;
        // A cancelled download stops at its first report after the cancel, silently.
        if (a.abandoned)
            return Release(id);
        const DownloadResponse& r = a.response;
        if (_clock.Now() >= a.deadline && (step < r.steps || r.steps == 0))
            return Fail(id, a, "no complete answer within " + std::to_string(a.limits.timeoutMs) + " ms");
        if (r.httpStatus < 0)
            return Fail(id, a, "cannot connect");
        if (a.redirectRefused)
            return Fail(id, a, "redirected to another address");
        if (r.httpStatus >= 400)
            return Fail(id, a, "HTTP status " + std::to_string(r.httpStatus));
        if (step == r.failAtStep)
            return Fail(id, a, "connection lost");
        const int steps = std::max(r.steps, 1);
        const std::size_t size = r.body.size();
        const std::size_t sent = std::min(size, r.cutAfter);
        const std::size_t from = size * static_cast<std::size_t>(step) / static_cast<std::size_t>(steps);
        const std::size_t to = size * static_cast<std::size_t>(step + 1) / static_cast<std::size_t>(steps);
        const bool cut = to >= sent && sent < size;
        a.status.body.insert(a.status.body.end(), r.body.begin() + static_cast<std::ptrdiff_t>(std::min(from, sent)),
                             r.body.begin() + static_cast<std::ptrdiff_t>(std::min(to, sent)));
        a.status.received = a.status.body.size();
        if (a.status.received > a.limits.maxBytes)
            return Fail(id, a, "larger than " + std::to_string(a.limits.maxBytes) + " bytes");
        if (cut && r.announceLength)
            return Fail(id, a, "the answer ended after " + std::to_string(sent) + " of " + std::to_string(size) + " bytes");
        const bool last = step + 1 >= steps || cut;
        if (last)
        {
            if (r.httpStatus == 200)
                _cache.Keep(a.url, { r.etag, r.lastModified, a.status.body });
            a.status.state = DownloadStatus::State::done;
            if (auto* req = Request(id))
                req->finished = true;
        }
        else
            Schedule(id, a, _clock.Now() + r.stepMs, step + 1);
        _windows.Post(a.notify, a.msg, id, 0);
        if (last)
            Release(id);
    }

    bool SimDownloads::Query(std::uint32_t id, DownloadStatus& status)
    {
        auto it = _active.find(id);
        if (it == _active.end() || it->second.abandoned)
            return false;
        Active& a = it->second;
        status.state = a.status.state;
        status.received = a.status.received;
        status.total = a.status.total;
        status.httpStatus = a.status.httpStatus;
        status.error = a.status.error;
        status.body.clear();
        if (a.status.state != DownloadStatus::State::running)
        {
            status.body = std::move(a.status.body);
            _active.erase(it);
        }
        return true;
    }

    void SimDownloads::Cancel(std::uint32_t id)
    {
        auto it = _active.find(id);
        if (it == _active.end() || it->second.abandoned)
            return;
        Active& a = it->second;
        if (auto* r = Request(id); r && !r->finished)
            r->cancelled = true;
        // Its last message went out and waits for a query: nothing more to stop.
        if (a.status.state != DownloadStatus::State::running)
        {
            _active.erase(it);
            return;
        }
        // One that waits still asks when its turn comes, as the real downloads' does;
        // one that runs stops at its next report (the headers, or the next part of
        // the body), or at its deadline. Neither tells anything more.
        a.abandoned = true;
        a.status.body.clear();
        if (a.work && _clock.Now() < a.headersAt && a.headersAt < a.workDue)
        {
            _windows.CancelWork(a.work);
            Schedule(id, a, a.headersAt, 0);
        }
    }
} // namespace os::sim
