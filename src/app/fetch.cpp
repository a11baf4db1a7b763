#include "app/fetch.h"

#include "app/url.h"

#include <algorithm>
#include <cstring>

namespace app
{
    os::DownloadLimits FetchLimits()
    {
        os::DownloadLimits limits;
        limits.maxBytes = std::size_t{ 1 } << 20;
        limits.timeoutMs = 15000;
        limits.agent = FetchAgent;
        return limits;
    }

    std::string FetchedText(const std::vector<std::uint8_t>& body)
    {
        constexpr std::size_t block = 1024;
        std::string text;
        text.reserve(body.size());
        for (std::size_t at = 0; at < body.size(); at += block)
        {
            const auto* start = reinterpret_cast<const char*>(body.data() + at);
            text.append(start, ::strnlen(start, std::min(block, body.size() - at)));
        }
        return text;
    }

    bool Fetches::StartNow(Kind& kind, Request request)
    {
        const std::uint32_t id = _downloads.Start(request.url, FetchLimits(), _notify, FetchMessage);
        if (id == 0)
            return false;
        kind.id = id;
        kind.request = std::move(request);
        return true;
    }

    bool Fetches::Ask(FetchKind which, Request request)
    {
        if (!IsWebUrl(request.url))
            return false;
        Kind& kind = _kinds[Index(which)];
        if (kind.id == 0)
            return StartNow(kind, std::move(request));
        if (kind.waiting.size() == MaxWaiting)
            kind.waiting.back() = std::move(request);
        else
            kind.waiting.push_back(std::move(request));
        return true;
    }

    bool Fetches::Continue(FetchKind which, Request request)
    {
        Kind& kind = _kinds[Index(which)];
        return kind.id == 0 && IsWebUrl(request.url) && StartNow(kind, std::move(request));
    }

    std::optional<Fetches::Answer> Fetches::Take(std::uint32_t id)
    {
        if (id == 0)
            return std::nullopt;
        for (std::size_t i = 0; i < std::size(_kinds); ++i)
        {
            Kind& kind = _kinds[i];
            if (kind.id != id)
                continue;
            os::DownloadStatus status;
            const bool known = _downloads.Query(id, status);
            if (known && status.state == os::DownloadStatus::State::running)
                return std::nullopt;
            kind.id = 0;
            Answer answer;
            answer.kind = i == 0 ? FetchKind::channel : FetchKind::sponsor;
            answer.request = std::move(kind.request);
            answer.ok = known && status.state == os::DownloadStatus::State::done;
            if (answer.ok)
                answer.text = FetchedText(status.body);
            else
                answer.error = known ? status.error : "the fetch was lost";
            return answer;
        }
        return std::nullopt;
    }

    void Fetches::StartWaiting()
    {
        for (Kind& kind : _kinds)
            while (kind.id == 0 && !kind.waiting.empty())
            {
                Request next = std::move(kind.waiting.front());
                kind.waiting.pop_front();
                StartNow(kind, std::move(next)); // a window gone: the request goes with it
            }
    }

    void Fetches::CancelAll()
    {
        for (Kind& kind : _kinds)
        {
            _downloads.Cancel(kind.id); // an id of 0 names no download
            kind.id = 0;
            kind.waiting.clear();
        }
    }
} // namespace app
