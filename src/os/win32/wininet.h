// The system's view of the connection, through WinInet.
#pragma once

#include "os/os.h"

namespace os::win32
{
    class Win32Internet final : public IInternet
    {
      public:
        bool GetConnectedState() override;
    };
} // namespace os::win32
