// A content folder held in memory and served by the desktop simulator: the web
// server's files at the content base URL (the host's fetches and the player's
// loads both reach them), or the installation folder's files as local files.
#pragma once

#include "os/sim/desktop.h"

#include <map>
#include <string>

namespace movierun
{
    inline constexpr std::size_t MaxFileBytes = 16u << 20;
    inline constexpr std::size_t MaxFiles = 10000;

    class ContentTree
    {
      public:
        // Reads every regular file under `folder` (at its path relative to the
        // folder, with '/'); a file already held at the same path is replaced.
        // False with the reason when the folder cannot be read or holds too much.
        bool AddFolder(const std::string& folder, std::string& why);
        void Put(const std::string& path, std::string body) { _files[path] = std::move(body); }
        void Remove(const std::string& path) { _files.erase(path); }
        const std::map<std::string, std::string>& Files() const { return _files; }
        bool Has(const std::string& path) const { return _files.count(path) != 0; }

        // Every file answers at base + path (base ends in '/'); Withdraw makes
        // them unreachable again, as a server that went away.
        void Serve(os::sim::Desktop& desktop, const std::string& base) const;
        void Withdraw(os::sim::Desktop& desktop, const std::string& base) const;
        // Every file of the top level as a local file in `folder` (a Windows path).
        void ServeLocal(os::sim::Desktop& desktop, const std::string& folder) const;

      private:
        std::map<std::string, std::string> _files;
    };
} // namespace movierun
