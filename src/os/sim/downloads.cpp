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

    std::uint32_t SimDownloads::Start(const std::string& url, const DownloadLimits& limits, Hwnd notify, UINT msg)
    {
        if (!_windows.IsWindow(notify))
            return 0;
        const std::uint32_t id = _next++;
        _requests.push_back({ id, url, limits, _clock.Now(), false, false });
        Active a;
        a.notify = notify;
        a.msg = msg;
        a.deadline = _clock.Now() + limits.timeoutMs;
        a.timeoutMs = limits.timeoutMs;
        a.maxBytes = limits.maxBytes;
        auto rule = _responses.find(url);
        // Redirects are followed, as WinInet follows them, a few hops at most, unless
        // the download asked for none.
        for (int hops = 0; rule != _responses.end() && !rule->second.redirectTo.empty(); ++hops)
        {
            if (!limits.followRedirects || hops == 5)
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
            const auto kept = a.response.httpStatus == 0 ? std::nullopt : _cache.Find(url);
            if (kept && !DownloadCache::ConditionalHeaders(*kept).empty() && !a.redirectRefused)
            {
                _requests.back().conditional = true;
                const bool same =
                    (!kept->etag.empty() && kept->etag == a.response.etag) ||
                    (kept->etag.empty() && !kept->lastModified.empty() && kept->lastModified == a.response.lastModified);
                if (same && a.response.httpStatus == 200)
                {
                    _requests.back().notModified = true;
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
        a.url = url;
        auto& slot = _active[id] = std::move(a);
        const std::uint64_t due =
            std::min(_clock.Now() + slot.response.connectMs + slot.response.headersMs + slot.response.delayMs, slot.deadline);
        slot.work = _windows.ScheduleWork(due, [this, id] { Step(id, 0); });
        return id;
    }

    void SimDownloads::Fail(Active& a, std::uint32_t id, std::string error)
    {
        a.status.state = DownloadStatus::State::failed;
        a.status.error = std::move(error);
        a.status.body.clear();
        a.finished = true;
        if (auto* r = Request(id))
            r->finished = true;
        _windows.Post(a.notify, a.msg, id, 0);
    }

    void SimDownloads::Step(std::uint32_t id, int step)
    {
        auto it = _active.find(id);
        if (it == _active.end())
            return;
        Active& a = it->second;
        a.work = 0;
        const DownloadResponse& r = a.response;
        if (_clock.Now() >= a.deadline && (step < r.steps || r.steps == 0))
            return Fail(a, id, "no complete answer within " + std::to_string(a.timeoutMs) + " ms");
        if (r.httpStatus < 0)
            return Fail(a, id, "cannot connect");
        if (a.redirectRefused)
            return Fail(a, id, "redirected to another address");
        if (r.httpStatus >= 400)
            return Fail(a, id, "HTTP status " + std::to_string(r.httpStatus));
        if (step == r.failAtStep)
            return Fail(a, id, "connection lost");
        const int steps = std::max(r.steps, 1);
        const std::size_t size = r.body.size();
        const std::size_t sent = std::min(size, r.cutAfter);
        const std::size_t from = size * static_cast<std::size_t>(step) / static_cast<std::size_t>(steps);
        const std::size_t to = size * static_cast<std::size_t>(step + 1) / static_cast<std::size_t>(steps);
        const bool cut = to >= sent && sent < size;
        a.status.body.insert(a.status.body.end(), r.body.begin() + static_cast<std::ptrdiff_t>(std::min(from, sent)),
                             r.body.begin() + static_cast<std::ptrdiff_t>(std::min(to, sent)));
        a.status.received = a.status.body.size();
        if (a.status.received > a.maxBytes)
            return Fail(a, id, "larger than " + std::to_string(a.maxBytes) + " bytes");
        if (cut && r.announceLength)
            return Fail(a, id, "the answer ended after " + std::to_string(sent) + " of " + std::to_string(size) + " bytes");
        if (step + 1 >= steps || cut)
        {
            if (r.httpStatus == 200)
                _cache.Keep(a.url, { r.etag, r.lastModified, a.status.body });
            a.status.state = DownloadStatus::State::done;
            a.finished = true;
            if (auto* req = Request(id))
                req->finished = true;
        }
        else
        {
            const std::uint64_t due = std::min(_clock.Now() + r.stepMs, a.deadline);
            a.work = _windows.ScheduleWork(due, [this, id, step] { Step(id, step + 1); });
        }
        _windows.Post(a.notify, a.msg, id, 0);
    }

    bool SimDownloads::Query(std::uint32_t id, DownloadStatus& status)
    {
        auto it = _active.find(id);
        if (it == _active.end())
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
        if (it == _active.end())
            return;
        if (it->second.work)
            _windows.CancelWork(it->second.work);
        if (auto* r = Request(id); r && !r->finished)
            r->cancelled = true;
        _active.erase(it);
    }
} // namespace os::sim
