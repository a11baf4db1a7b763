// The real Windows behind the OS seam. The program makes one at start-up and passes
// its Os() down; nothing here needs <windows.h>.
#pragma once

#include "os/os.h"

#include <memory>

namespace os::win32
{
    class Backend
    {
      public:
        Backend();
        ~Backend();
        Backend(const Backend&) = delete;
        Backend& operator=(const Backend&) = delete;

        ::os::Os& Os() { return _os; }

      private:
        struct Adapters;
        std::unique_ptr<Adapters> _adapters;
        ::os::Os _os;
    };

    std::unique_ptr<Backend> CreateBackend();
} // namespace os::win32
