#include "os/win32/wininet.h"

#include "os/win32/http.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>

namespace os::win32
{
    namespace
    {
        HINTERNET ToHinternet(InternetHandle h)
        {
            return reinterpret_cast<HINTERNET>(static_cast<std::intptr_t>(h));
        }
        InternetHandle FromHinternet(HINTERNET h)
        {
            return static_cast<InternetHandle>(reinterpret_cast<std::intptr_t>(h));
        }
    } // namespace

    bool Win32Internet::GetConnectedState()
    {
        ::DWORD flags = 0;
        return InternetGetConnectedState(&flags, 0) != FALSE;
    }

    InternetHandle Win32Internet::Open(const std::string& agent, DWORD accessType)
    {
        return FromHinternet(InternetOpenA(agent.c_str(), accessType, nullptr, nullptr, 0));
    }

    // An http or https address is opened step by step (connection, request, send)
    // rather than by InternetOpenUrl, so that the time-out set on the session is set
    // on the connection and the request before anything is sent: not every WinInet
    // hands a session's receive time-out on to the requests that InternetOpenUrl
    // makes (Wine's waits for the answer without end).
    InternetHandle Win32Internet::OpenUrl(InternetHandle session, const std::string& url, DWORD flags)
    {
        const auto target = CrackHttpUrl(url);
        if (!target)
            return FromHinternet(InternetOpenUrlA(ToHinternet(session), url.c_str(), nullptr, 0, flags, 0));

        const auto timeout = _sessionTimeouts.find(session);
        HINTERNET connection = InternetConnectA(ToHinternet(session), target->host.c_str(), target->port, nullptr, nullptr,
                                                INTERNET_SERVICE_HTTP, 0, 0);
        if (!connection)
            return InternetHandle{};
        if (timeout != _sessionTimeouts.end())
            SetTimeouts(connection, timeout->second);
        const ::DWORD requestFlags = flags | (target->secure ? INTERNET_FLAG_SECURE : 0);
        HINTERNET request =
            HttpOpenRequestA(connection, "GET", target->object.c_str(), nullptr, nullptr, nullptr, requestFlags, 0);
        if (request && timeout != _sessionTimeouts.end())
            SetTimeouts(request, timeout->second);
        if (!request || !SendClosingRequest(request))
        {
            if (request)
                InternetCloseHandle(request);
            InternetCloseHandle(connection);
            return InternetHandle{};
        }
        _connections[FromHinternet(request)] = FromHinternet(connection);
        return FromHinternet(request);
    }

    bool Win32Internet::ReadFile(InternetHandle request, void* buffer, DWORD size, DWORD& read)
    {
        ::DWORD got = 0;
        const bool ok = InternetReadFile(ToHinternet(request), buffer, size, &got) != FALSE;
        read = static_cast<DWORD>(got);
        return ok;
    }

    bool Win32Internet::Close(InternetHandle handle)
    {
        const bool ok = InternetCloseHandle(ToHinternet(handle)) != FALSE;
        _sessionTimeouts.erase(handle);
        if (const auto connection = _connections.find(handle); connection != _connections.end())
        {
            InternetCloseHandle(ToHinternet(connection->second));
            _connections.erase(connection);
        }
        return ok;
    }

    bool Win32Internet::SetTimeout(InternetHandle handle, DWORD ms)
    {
        if (_connections.find(handle) == _connections.end())
            _sessionTimeouts[handle] = ms; // kept for the requests to come
        return SetTimeouts(ToHinternet(handle), ms);
    }

    bool Win32Internet::QueryStatusCode(InternetHandle request, DWORD& status)
    {
        ::DWORD code = 0;
        ::DWORD size = sizeof(code);
        const bool ok =
            HttpQueryInfoA(ToHinternet(request), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr) != FALSE;
        status = ok ? static_cast<DWORD>(code) : 0;
        return ok;
    }

    bool Win32Internet::QueryDataAvailable(InternetHandle request, DWORD& available)
    {
        ::DWORD bytes = 0;
        const bool ok = InternetQueryDataAvailable(ToHinternet(request), &bytes, 0, 0) != FALSE;
        available = ok ? static_cast<DWORD>(bytes) : 0;
        return ok;
    }
} // namespace os::win32
