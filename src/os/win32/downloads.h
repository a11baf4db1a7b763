// Downloads for the movie player, in turn on one worker thread (more only while
// downloads are slow): WinInet for http and https addresses, the file system for
// absolute local paths.
#pragma once

#include "os/os.h"

#include <memory>

namespace os::win32
{
    class Win32Downloads final : public IDownloads
    {
      public:
        Win32Downloads();
        // Abandons every download still known; their workers end on their own.
        ~Win32Downloads();
        Win32Downloads(const Win32Downloads&) = delete;
        Win32Downloads& operator=(const Win32Downloads&) = delete;

        // Addresses other than http://, https:// and a drive-absolute path (C:\...,
        // in the ANSI code page) do not start. Changes that come while the message of
        // an earlier one still waits for its Query share that message.
        std::uint32_t Start(const std::string& url, const DownloadLimits& limits, Hwnd notify, UINT msg) override;
        bool Query(std::uint32_t id, DownloadStatus& status) override;
        void Cancel(std::uint32_t id) override;

        // Worker threads still running, abandoned downloads included. Every worker
        // closes what it opened before it leaves this count.
        int RunningWorkers() const;
        // Downloads that wait for a worker.
        int Waiting() const;

        struct Shared;

      private:
        std::shared_ptr<Shared> _shared;
    };
} // namespace os::win32
