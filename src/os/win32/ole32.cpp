#include "os/win32/ole32.h"

#include "os/win32/common.h"
#include "os/win32/player_host.h"

#include <objbase.h>

namespace os::win32
{
    namespace
    {
        // Whether StartComHere started COM on this thread (and UninitializeCom owes
        // it its end). COM's start loads its libraries and costs the start-up of a
        // program that never hosts a control.
        thread_local bool t_comStarted = false;
    } // namespace

    HResult StartComHere()
    {
        if (t_comStarted)
            return S_FALSE;
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        // S_FALSE (already started by someone else) is counted too, and ended once.
        if (SUCCEEDED(hr))
            t_comStarted = true;
        return hr;
    }

    HResult Win32PlayerFactory::InitializeCom()
    {
        return S_OK;
    }

    void Win32PlayerFactory::UninitializeCom()
    {
        if (!t_comStarted)
            return;
        t_comStarted = false;
        CoUninitialize();
    }

    HResult Win32PlayerFactory::CreatePlayer(Hwnd parent, const Rect& bounds, IPlayerEvents& events,
                                             std::unique_ptr<IPlayer>& player)
    {
        return CreateHostedPlayer(ToHwnd(parent), bounds, events, player);
    }
} // namespace os::win32
