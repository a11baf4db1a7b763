#include "os/download_cache.h"

#include <algorithm>

namespace os
{
    bool DownloadCache::Usable(const std::string& validator)
    {
        // It goes back to the server as a header line: nothing that could end or
        // start one.
        return !validator.empty() && validator.size() <= MaxValidator &&
               std::none_of(validator.begin(), validator.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    }

    std::optional<DownloadCache::Entry> DownloadCache::Find(const std::string& url) const
    {
        std::lock_guard lock(_mutex);
        for (const auto& [address, entry] : _entries)
            if (address == url)
                return entry;
        return std::nullopt;
    }

    void DownloadCache::Forget(const std::string& url)
    {
        std::lock_guard lock(_mutex);
        for (auto it = _entries.begin(); it != _entries.end(); ++it)
            if (it->first == url)
            {
                _bytes -= it->second.body.size();
                _entries.erase(it);
                return;
            }
    }

    void DownloadCache::Keep(const std::string& url, Entry entry)
    {
        if (!Usable(entry.etag))
            entry.etag.clear();
        if (!Usable(entry.lastModified))
            entry.lastModified.clear();
        Forget(url);
        if ((entry.etag.empty() && entry.lastModified.empty()) || entry.body.size() > MaxEntry)
            return;
        std::lock_guard lock(_mutex);
        _bytes += entry.body.size();
        _entries.emplace_back(url, std::move(entry));
        while (_entries.size() > MaxEntries || _bytes > MaxBytes)
        {
            _bytes -= _entries.front().second.body.size();
            _entries.pop_front();
        }
    }

    std::size_t DownloadCache::Bytes() const
    {
        std::lock_guard lock(_mutex);
        return _bytes;
    }

    std::size_t DownloadCache::Entries() const
    {
        std::lock_guard lock(_mutex);
        return _entries.size();
    }

    std::string DownloadCache::ConditionalHeaders(const Entry& entry)
    {
        std::string headers;
        if (Usable(entry.etag))
            headers += "If-None-Match: " + entry.etag + "\r\n";
        if (Usable(entry.lastModified))
            headers += "If-Modified-Since: " + entry.lastModified + "\r\n";
        return headers;
    }
} // namespace os
