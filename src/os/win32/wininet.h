// Downloads through WinInet, with the ANSI functions.
#pragma once

#include "os/os.h"

#include <map>

namespace os::win32
{
    class Win32Internet final : public IInternet
    {
      public:
        bool GetConnectedState() override;
        InternetHandle Open(const std::string& agent, DWORD accessType) override;
        InternetHandle OpenUrl(InternetHandle session, const std::string& url, DWORD flags) override;
        bool ReadFile(InternetHandle request, void* buffer, DWORD size, DWORD& read) override;
        bool Close(InternetHandle handle) override;
        bool SetTimeout(InternetHandle handle, DWORD ms) override;
        bool QueryStatusCode(InternetHandle request, DWORD& status) override;
        bool QueryDataAvailable(InternetHandle request, DWORD& available) override;

      private:
        std::map<InternetHandle, DWORD> _sessionTimeouts;      // as set on a session, for its requests
        std::map<InternetHandle, InternetHandle> _connections; // an http request's own connection
    };
} // namespace os::win32
