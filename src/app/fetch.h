// The synchronous text fetch behind the channel feed and the sponsor feed. It runs
// on the GUI thread and freezes the strip while it lasts, so it is bounded in time
// and in size.
#pragma once

#include "os/os.h"

#include <cstddef>
#include <functional>
#include <string>

namespace app
{
    // The name the strip's fetches give themselves.
    constexpr const char* FetchAgent = "Norvale Desktop Ticker";

    struct FetchLimits
    {
        std::size_t maxBytes = std::size_t{ 1 } << 20; // a larger body is a failed fetch
        os::DWORD timeoutMs = 15000;                   // the whole fetch, connection included
    };

    using TraceFunction = std::function<void(const std::string&)>;

    // A session for the strip's fetches, with the system's proxy settings; 0 when
    // none can be opened.
    os::InternetHandle OpenFetchSession(os::IInternet& internet);

    // A session for the strip's fetches that is closed however its scope ends, an
    // exception included.
    class FetchSession
    {
      public:
        explicit FetchSession(os::IInternet& internet) : _internet(internet), _handle(OpenFetchSession(internet)) {}
        ~FetchSession()
        {
            if (_handle != os::InternetHandle{})
                _internet.Close(_handle);
        }
        FetchSession(const FetchSession&) = delete;
        FetchSession& operator=(const FetchSession&) = delete;
        os::InternetHandle Handle() const { return _handle; }
        bool IsOpen() const { return _handle != os::InternetHandle{}; }

      private:
        os::IInternet& _internet;
        os::InternetHandle _handle;
    };

    // The whole body of `url`, read through `session` in reads of up to 1024 bytes;
    // a NUL byte cuts off the rest of the read that brought it. Empty when nothing
    // could be read: no answer, an HTTP status of 400 or above, a failed read, a body
    // over the size limit, or a fetch that outlasts the time limit. Only plain web
    // addresses go out, so a movie cannot have local files read. The request handle
    // is closed on every path; the session stays the caller's.
    std::string FetchUrlText(os::Os& os, os::InternetHandle session, const std::string& url, const TraceFunction& trace,
                             const FetchLimits& limits = {});
} // namespace app
