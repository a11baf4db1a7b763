#include "os/win32/common.h"

#include <climits>

namespace os::win32
{
    std::wstring Widen(std::string_view text)
    {
        if (text.empty() || text.size() > INT_MAX)
            return {};
        const int length = static_cast<int>(text.size());
        const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
        if (needed <= 0)
            return {};
        std::wstring out(static_cast<std::size_t>(needed), L'\0');
        const int written = MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), needed);
        out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
        return out;
    }

    std::string Narrow(std::wstring_view text)
    {
        if (text.empty() || text.size() > INT_MAX)
            return {};
        const int length = static_cast<int>(text.size());
        const int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
        if (needed <= 0)
            return {};
        std::string out(static_cast<std::size_t>(needed), '\0');
        const int written = WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
        out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
        return out;
    }
} // namespace os::win32
