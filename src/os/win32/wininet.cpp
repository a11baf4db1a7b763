#include "os/win32/wininet.h"

#include <windows.h>
#include <wininet.h>

namespace os::win32
{
    bool Win32Internet::GetConnectedState()
    {
        ::DWORD flags = 0;
        return InternetGetConnectedState(&flags, 0) != FALSE;
    }
} // namespace os::win32
