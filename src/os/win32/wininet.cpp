#include "os/win32/wininet.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>

namespace os::win32
{
    namespace
    {
        HINTERNET ToHinternet(InternetHandle h)
        {
            return reinterpret_cast<HINTERNET>(static_cast<std::intptr_t>(h));
        }
        InternetHandle FromHinternet(HINTERNET h)
        {
            return static_cast<InternetHandle>(reinterpret_cast<std::intptr_t>(h));
        }
    } // namespace

    bool Win32Internet::GetConnectedState()
    {
        ::DWORD flags = 0;
        return InternetGetConnectedState(&flags, 0) != FALSE;
    }

    InternetHandle Win32Internet::Open(const std::string& agent, DWORD accessType)
    {
        return FromHinternet(InternetOpenA(agent.c_str(), accessType, nullptr, nullptr, 0));
    }

    InternetHandle Win32Internet::OpenUrl(InternetHandle session, const std::string& url, DWORD flags)
    {
        return FromHinternet(InternetOpenUrlA(ToHinternet(session), url.c_str(), nullptr, 0, flags, 0));
    }

    bool Win32Internet::ReadFile(InternetHandle request, void* buffer, DWORD size, DWORD& read)
    {
        ::DWORD got = 0;
        const bool ok = InternetReadFile(ToHinternet(request), buffer, size, &got) != FALSE;
        read = static_cast<DWORD>(got);
        return ok;
    }

    bool Win32Internet::Close(InternetHandle handle)
    {
        return InternetCloseHandle(ToHinternet(handle)) != FALSE;
    }
} // namespace os::win32
