#include "os/sim/internet.h"

#include <algorithm>
#include <cstring>

namespace os::sim
{
    InternetHandle SimInternet::Open(const std::string& agent, DWORD)
    {
        _agents.push_back(agent);
        if (_openFails)
            return InternetHandle{};
        InternetHandle h{ _next };
        _next += 4;
        _open[h] = Handle{ true, {}, nullptr, 0, 0, 0, false };
        ++_opened;
        return h;
    }

    InternetHandle SimInternet::OpenUrl(InternetHandle session, const std::string& url, DWORD flags)
    {
        auto s = _open.find(session);
        _requests.push_back({ url, flags, session, s == _open.end() ? 0 : s->second.timeoutMs });
        if (s == _open.end() || !s->second.session || !_connected)
            return InternetHandle{};
        auto rule = _urls.find(url);
        if (rule == _urls.end())
            return InternetHandle{};
        InternetHandle h{ _next };
        _next += 4;
        _open[h] = Handle{ false, session, &rule->second, 0, 0, s->second.timeoutMs, false };
        ++_opened;
        return h;
    }

    bool SimInternet::ReadFile(InternetHandle request, void* buffer, DWORD size, DWORD& read)
    {
        read = 0;
        auto it = _open.find(request);
        if (it == _open.end() || it->second.session || !it->second.response)
            return false;
        Handle& h = it->second;
        const auto& chunks = h.response->chunks;
        if (h.response->failReadAt >= 0 && h.chunk == static_cast<std::size_t>(h.response->failReadAt))
            return false;
        if (h.chunk >= chunks.size())
            return true; // the end of the body: success with 0 bytes
        if (!WaitForChunk(h))
            return false;
        const std::string& chunk = chunks[h.chunk];
        const std::size_t n = std::min<std::size_t>(size, chunk.size() - h.offset);
        std::memcpy(buffer, chunk.data() + h.offset, n);
        h.offset += n;
        if (h.offset >= chunk.size())
        {
            ++h.chunk;
            h.offset = 0;
            h.chunkArrived = false;
        }
        read = static_cast<DWORD>(n);
        return true;
    }

    bool SimInternet::Close(InternetHandle handle)
    {
        return _open.erase(handle) != 0;
    }

    bool SimInternet::WaitForChunk(Handle& h)
    {
        const DWORD wait = h.response->msPerChunk;
        if (h.chunkArrived || wait == 0)
            return true;
        if (h.timeoutMs != 0 && wait > h.timeoutMs)
        {
            _clock.Set(_clock.Now() + h.timeoutMs);
            return false;
        }
        _clock.Set(_clock.Now() + wait);
        h.chunkArrived = true;
        return true;
    }

    bool SimInternet::SetTimeout(InternetHandle handle, DWORD ms)
    {
        auto it = _open.find(handle);
        if (it == _open.end())
            return false;
        it->second.timeoutMs = ms;
        return true;
    }

    bool SimInternet::QueryStatusCode(InternetHandle request, DWORD& status)
    {
        status = 0;
        auto it = _open.find(request);
        if (it == _open.end() || !it->second.response)
            return false;
        status = it->second.response->status;
        return true;
    }

    bool SimInternet::QueryDataAvailable(InternetHandle request, DWORD& available)
    {
        available = 0;
        auto it = _open.find(request);
        if (it == _open.end() || !it->second.response)
            return false;
        Handle& h = it->second;
        const auto& chunks = h.response->chunks;
        if (h.chunk >= chunks.size())
            return true;
        if (!WaitForChunk(h))
            return false;
        available = static_cast<DWORD>(chunks[h.chunk].size() - h.offset);
        return true;
    }
} // namespace os::sim
