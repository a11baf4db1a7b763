#include "os/win32/kernel32.h"

#include "os/win32/common.h"

#include <cstring>

namespace os::win32
{
    namespace
    {
        // RT_RCDATA as the ANSI functions take it (the SDK's macro follows UNICODE).
        constexpr WORD kRcDataType = 10;
    } // namespace

    KernelHandle Win32Process::CreateNamedMutex(const std::string& name)
    {
        // Default security, not owned: the caller waits on it to take it.
        return FromHandle(CreateMutexA(nullptr, FALSE, name.empty() ? nullptr : name.c_str()));
    }

    DWORD Win32Process::WaitForSingleObject(KernelHandle handle, DWORD milliseconds)
    {
        return ::WaitForSingleObject(ToHandle(handle), milliseconds);
    }

    std::string Win32Process::CurrentDirectory()
    {
        DWORD needed = GetCurrentDirectoryA(0, nullptr);
        while (needed > 0)
        {
            std::string buffer(needed, '\0');
            const DWORD length = GetCurrentDirectoryA(needed, buffer.data());
            if (length == 0)
                break;
            if (length < needed)
            {
                buffer.resize(length);
                return buffer;
            }
            needed = length; // it changed in between: the size it needs now
        }
        return {};
    }

    bool Win32Process::FileExists(const std::string& path)
    {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    SystemTime Win32Process::GetLocalTime()
    {
        SYSTEMTIME st{};
        ::GetLocalTime(&st);
        return { st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds };
    }

    long Win32Process::TimeZoneBias()
    {
        TIME_ZONE_INFORMATION info{};
        GetTimeZoneInformation(&info); // Bias is valid whichever of the answers it gives
        return info.Bias;
    }

    std::uint32_t Win32Process::RandomSeed()
    {
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        std::uint64_t mix = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        mix ^= static_cast<std::uint64_t>(counter.QuadPart) * 0x9E3779B97F4A7C15ull;
        mix ^= static_cast<std::uint64_t>(::GetTickCount()) << 17;
        // Fold the 64 bits so that every clock bit reaches the seed.
        mix ^= mix >> 33;
        mix *= 0xFF51AFD7ED558CCDull;
        mix ^= mix >> 33;
        return static_cast<std::uint32_t>(mix);
    }

    std::string Win32Process::WideToAnsi(const std::wstring& text)
    {
        return Narrow(text);
    }

    std::wstring Win32Process::AnsiToWide(const std::string& text)
    {
        return Widen(text);
    }

    std::vector<std::uint8_t> Win32Process::LoadResourceData(const std::string& name)
    {
        HMODULE module = GetModuleHandleW(nullptr);
        HRSRC found = FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(kRcDataType));
        if (!found)
            return {};
        // A loaded resource belongs to the module: nothing to free.
        HGLOBAL loaded = LoadResource(module, found);
        const DWORD size = SizeofResource(module, found);
        const void* bytes = loaded ? LockResource(loaded) : nullptr;
        if (!bytes || size == 0)
            return {};
        std::vector<std::uint8_t> out(size);
        std::memcpy(out.data(), bytes, size);
        return out;
    }

    void Win32Process::DebugOutput(const std::string& text)
    {
        OutputDebugStringA(text.c_str());
    }

    std::uint64_t Win32Process::ThreadCpuMicroseconds()
    {
        FILETIME created{}, exited{}, kernel{}, user{};
        if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
            return 0;
        const auto count = [](const FILETIME& t)
        {
            return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
        };
        return (count(kernel) + count(user)) / 10; // 100-nanosecond units
    }
} // namespace os::win32
