// Downloads through WinInet, with the ANSI functions.
#pragma once

#include "os/os.h"

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
    };
} // namespace os::win32
