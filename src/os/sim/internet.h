// The simulated connection state. What the program fetches goes through the
// simulated downloads.
#pragma once

#include "os/os.h"

namespace os::sim
{
    class SimInternet final : public IInternet
    {
      public:
        // ---- scene (test side)
        void SetConnected(bool connected) { _connected = connected; }

        // ---- IInternet
        bool GetConnectedState() override { return _connected; }

      private:
        bool _connected = true;
    };
} // namespace os::sim
