#include "os/win32/ole32.h"

#include "os/win32/common.h"
#include "os/win32/player_host.h"

#include <objbase.h>

namespace os::win32
{
    HResult Win32PlayerFactory::InitializeCom()
    {
        return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    }

    void Win32PlayerFactory::UninitializeCom()
    {
        CoUninitialize();
    }

    HResult Win32PlayerFactory::CreatePlayer(Hwnd parent, const Rect& bounds, IPlayerEvents& events,
                                             std::unique_ptr<IPlayer>& player)
    {
        return CreateHostedPlayer(ToHwnd(parent), bounds, events, player);
    }
} // namespace os::win32
