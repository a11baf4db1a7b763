// COM for the thread and the player controls.
#pragma once

#include "os/os.h"

namespace os::win32
{
    // Starts COM (single-threaded) on the calling thread, once; what CoInitializeEx
    // answered. COM starts with the first hosted control or shell call that needs it,
    // not with the program: our own player needs none.
    HResult StartComHere();

    class Win32PlayerFactory final : public IPlayerFactory
    {
      public:
        // COM is wanted on this thread; it starts with the first control (StartComHere).
        HResult InitializeCom() override;
        // Ends COM on this thread when StartComHere started it.
        void UninitializeCom() override;
        HResult CreatePlayer(Hwnd parent, const Rect& bounds, IPlayerEvents& events, std::unique_ptr<IPlayer>& player) override;
    };
} // namespace os::win32
