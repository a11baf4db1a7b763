#include "os/win32/system.h"

#include "os/win32/common.h"
#include "os/win32/dpi.h"

#include <iterator>

namespace os::win32
{
    int Win32System::GetSystemMetrics(int index)
    {
        return ::GetSystemMetrics(index);
    }

    Rect Win32System::GetWorkArea()
    {
        RECT rc{};
        if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &rc, 0))
            return { 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN) };
        return FromRECT(rc);
    }

    bool Win32System::GetClientAreaAnimation()
    {
        BOOL on = TRUE;
        // Windows before Vista have no such setting: animations are on there.
        if (!SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &on, 0))
            return true;
        return on != FALSE;
    }

    bool Win32System::GetHighContrast()
    {
        HIGHCONTRASTW hc{};
        hc.cbSize = sizeof hc;
        if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0))
            return false;
        return (hc.dwFlags & HCF_HIGHCONTRASTON) != 0;
    }

    bool Win32System::GetDragFullWindows()
    {
        BOOL full = FALSE;
        if (!SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &full, 0))
            return false;
        return full != FALSE;
    }

    int Win32System::GetLogPixelsX()
    {
        return DpiFunctions::SystemDpi();
    }

    int Win32System::GetDpiForMonitorAt(const Rect& r)
    {
        return DpiFunctions::Get().ForMonitorAt(ToRECT(r));
    }

    int Win32System::GetSystemMetricsForDpi(int index, int dpi)
    {
        return DpiFunctions::Get().MetricForDpi(index, dpi);
    }

    Point Win32System::GetCursorPos()
    {
        POINT pt{};
        ::GetCursorPos(&pt);
        return FromPOINT(pt);
    }

    Point Win32System::GetMessagePos()
    {
        const DWORD pos = ::GetMessagePos();
        return { static_cast<std::int16_t>(LOWORD(pos)), static_cast<std::int16_t>(HIWORD(pos)) };
    }

    std::int16_t Win32System::GetAsyncKeyState(int vk)
    {
        return static_cast<std::int16_t>(::GetAsyncKeyState(vk));
    }

    std::int16_t Win32System::GetKeyState(int vk)
    {
        return static_cast<std::int16_t>(::GetKeyState(vk));
    }

    DWORD Win32System::GetTickCount()
    {
        return ::GetTickCount();
    }

    Color Win32System::GetSysColor(int index)
    {
        return static_cast<Color>(::GetSysColor(index));
    }

    std::string Win32System::GetDecimalSeparator()
    {
        // LOCALE_SDECIMAL holds at most three characters and the NUL.
        wchar_t buffer[8] = {};
        const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, static_cast<int>(std::size(buffer)));
        if (length <= 1)
            return ".";
        return Narrow(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)));
    }
} // namespace os::win32
