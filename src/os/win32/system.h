// System metrics and parameters, the pointer and the keyboard, the clock, colours and
// the user's locale.
#pragma once

#include "os/os.h"

namespace os::win32
{
    class Win32System final : public ISystemInfo
    {
      public:
        int GetSystemMetrics(int index) override;
        Rect GetWorkArea() override;
        bool GetDragFullWindows() override;
        int GetLogPixelsX() override;
        Point GetCursorPos() override;
        Point GetMessagePos() override;
        std::int16_t GetAsyncKeyState(int vk) override;
        std::int16_t GetKeyState(int vk) override;
        DWORD GetTickCount() override;
        Color GetSysColor(int index) override;
        std::string GetDecimalSeparator() override;
        int GetDpiForMonitorAt(const Rect& r) override;
        int GetSystemMetricsForDpi(int index, int dpi) override;
        bool GetClientAreaAnimation() override;
        bool GetHighContrast() override;
    };
} // namespace os::win32
