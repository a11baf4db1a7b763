// What the step-by-step opening of an http or https address needs, shared by the
// synchronous fetch (wininet.cpp) and the player's downloads (downloads.cpp).
#pragma once

#include <windows.h>
#include <wininet.h>

#include <optional>
#include <string>

namespace os::win32
{
    struct HttpTarget
    {
        std::string host;
        INTERNET_PORT port = 0;
        std::string object; // path and query, "/" when empty
        bool secure = false;
    };

    // The parts of an absolute http or https address; nothing for any other.
    std::optional<HttpTarget> CrackHttpUrl(const std::string& url);

    // Sends the request. Each asks the server to close the connection after it: the
    // program asks a few addresses every few minutes, and a kept connection would
    // hold a thread of WinInet's awake (and its memory) only to close it later.
    // `extra` adds whole header lines, each ending in CRLF.
    bool SendClosingRequest(HINTERNET request, const std::string& extra = {});

    // Bounds every wait of a connection or request (connect, send, receive) by
    // `ms`; false when one of the options was refused.
    bool SetTimeouts(HINTERNET handle, ::DWORD ms);
} // namespace os::win32
