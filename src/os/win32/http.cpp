#include "os/win32/http.h"

namespace os::win32
{
    std::optional<HttpTarget> CrackHttpUrl(const std::string& url)
    {
        std::string host(INTERNET_MAX_HOST_NAME_LENGTH + 1, '\0');
        std::string path(url.size() + 1, '\0');
        std::string extra(url.size() + 1, '\0');
        URL_COMPONENTSA parts{};
        parts.dwStructSize = sizeof(parts);
        parts.lpszHostName = host.data();
        parts.dwHostNameLength = static_cast<::DWORD>(host.size());
        parts.lpszUrlPath = path.data();
        parts.dwUrlPathLength = static_cast<::DWORD>(path.size());
        parts.lpszExtraInfo = extra.data();
        parts.dwExtraInfoLength = static_cast<::DWORD>(extra.size());
        if (!InternetCrackUrlA(url.c_str(), static_cast<::DWORD>(url.size()), 0, &parts) ||
            (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) || parts.dwHostNameLength == 0)
            return std::nullopt;
        HttpTarget target;
        target.host = host.substr(0, parts.dwHostNameLength);
        target.port = parts.nPort;
        target.object = path.substr(0, parts.dwUrlPathLength) + extra.substr(0, parts.dwExtraInfoLength);
        if (target.object.empty())
            target.object = "/";
        target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
        return target;
    }

    bool SetTimeouts(HINTERNET handle, ::DWORD ms)
    {
        bool ok = true;
        for (::DWORD option : { INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT })
            ok = InternetSetOptionA(handle, option, &ms, sizeof(ms)) != FALSE && ok;
        return ok;
    }

    bool SendClosingRequest(HINTERNET request, const std::string& extra)
    {
        const std::string headers = "Connection: close\r\n" + extra;
        return HttpSendRequestA(request, headers.c_str(), static_cast<::DWORD>(headers.size()), nullptr, 0) != FALSE;
    }
} // namespace os::win32
