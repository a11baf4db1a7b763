#include "app/fetch.h"

#include "app/url.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace app
{
    namespace
    {
        // Closes a request handle however the fetch ends.
        class RequestScope
        {
          public:
            RequestScope(os::IInternet& internet, os::InternetHandle request) : _internet(internet), _request(request) {}
            RequestScope(const RequestScope&) = delete;
            RequestScope& operator=(const RequestScope&) = delete;
            ~RequestScope() { _internet.Close(_request); }

          private:
            os::IInternet& _internet;
            os::InternetHandle _request;
        };
    } // namespace

    os::InternetHandle OpenFetchSession(os::IInternet& internet)
    {
        return internet.Open(FetchAgent, os::inet::open_type_preconfig);
    }

    std::string FetchUrlText(os::Os& os, os::InternetHandle session, const std::string& url, const TraceFunction& trace,
                             const FetchLimits& limits)
    {
        auto say = [&](const std::string& line)
        {
            if (trace)
                trace(line);
        };
        if (!IsWebUrl(url))
        {
            say("refused to fetch an address that is not a web address");
            return {};
        }
        auto& internet = os.internet;
        const os::DWORD start = os.system.GetTickCount();
        auto spent = [&]
        {
            return static_cast<os::DWORD>(os.system.GetTickCount() - start);
        };
        const std::string timedOut = "fetch failed: no complete answer within " + std::to_string(limits.timeoutMs) + " ms";

        // The connection and the answer's headers wait no longer than the whole fetch may.
        internet.SetTimeout(session, limits.timeoutMs);
        const os::InternetHandle request = internet.OpenUrl(session, url, os::inet::flag_no_cache_write);
        if (request == os::InternetHandle{})
            return {};
        RequestScope scope(internet, request);

        os::DWORD status = 0;
        if (!internet.QueryStatusCode(request, status) || status >= 400)
        {
            say("fetch failed: HTTP status " + std::to_string(status));
            return {};
        }

        std::string text;
        std::size_t received = 0;
        std::array<char, 1024> buffer{};
        for (;;)
        {
            // Each wait is for what has arrived, and no longer than the time left: a
            // read of a whole buffer would wait for the buffer to fill, however slowly
            // a server sends it.
            const os::DWORD used = spent();
            if (used >= limits.timeoutMs)
            {
                say(timedOut);
                return {};
            }
            internet.SetTimeout(request, limits.timeoutMs - used);
            os::DWORD available = 0;
            if (!internet.QueryDataAvailable(request, available))
            {
                say(spent() >= limits.timeoutMs ? timedOut : "fetch failed: the read failed");
                return {};
            }
            if (available == 0)
                break; // the end of the body
            os::DWORD read = 0;
            const auto want = static_cast<os::DWORD>(std::min<std::size_t>(available, buffer.size()));
            if (!internet.ReadFile(request, buffer.data(), want, read))
            {
                say("fetch failed: the read failed");
                return {};
            }
            if (read == 0)
                break;
            const std::size_t got = std::min<std::size_t>(read, want);
            received += got;
            if (received > limits.maxBytes)
            {
                say("fetch failed: the body is larger than " + std::to_string(limits.maxBytes) + " bytes");
                return {};
            }
            text.append(buffer.data(), ::strnlen(buffer.data(), got));
        }
        return text;
    }
} // namespace app
