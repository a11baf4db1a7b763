// What the downloads remember of answers that carried validators (an entity tag or
// a modification date), so that the next download of the same address asks "only if
// it changed" and a 304 Not Modified is answered from memory: an unchanged movie or
// document is not sent again. Shared by the real downloads and the simulated ones;
// safe to use from several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace os
{
    class DownloadCache
    {
      public:
        static constexpr std::size_t MaxBytes = 2u << 20;   // all bodies kept together
        static constexpr std::size_t MaxEntry = 512u << 10; // a larger body is not kept
        static constexpr std::size_t MaxEntries = 64;
        static constexpr std::size_t MaxValidator = 256; // a longer tag or date is not sent back

        struct Entry
        {
            std::string etag;
            std::string lastModified;
            std::vector<std::uint8_t> body;
        };

        // The entry kept for an address, if any.
        std::optional<Entry> Find(const std::string& url) const;
        // Keeps an answer that has a usable validator (and forgets the address when it
        // has none); the least recently kept entries go when the bounds are passed.
        void Keep(const std::string& url, Entry entry);
        void Forget(const std::string& url);
        std::size_t Bytes() const;
        std::size_t Entries() const;

        // The request headers that ask for the body only if it changed; empty when
        // there is nothing to ask with.
        static std::string ConditionalHeaders(const Entry& entry);

      private:
        static bool Usable(const std::string& validator);

        mutable std::mutex _mutex;
        std::list<std::pair<std::string, Entry>> _entries; // the most recently kept last
        std::size_t _bytes = 0;
    };
} // namespace os
