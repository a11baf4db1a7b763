// COM for the thread and the player controls.
#pragma once

#include "os/os.h"

namespace os::win32
{
    class Win32PlayerFactory final : public IPlayerFactory
    {
      public:
        HResult InitializeCom() override;
        void UninitializeCom() override;
        HResult CreatePlayer(Hwnd parent, const Rect& bounds, IPlayerEvents& events, std::unique_ptr<IPlayer>& player) override;
    };
} // namespace os::win32
