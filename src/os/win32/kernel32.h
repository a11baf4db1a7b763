// Process services of kernel32: the named mutex, files and folders, time, text
// conversion, resources and the debugger's output.
#pragma once

#include "os/os.h"

namespace os::win32
{
    class Win32Process final : public IProcess
    {
      public:
        // A mutex stays open until the process ends: the program holds it for its whole
        // run to keep other instances out, and never closes it itself.
        KernelHandle CreateNamedMutex(const std::string& name) override;
        DWORD WaitForSingleObject(KernelHandle handle, DWORD milliseconds) override;
        std::string CurrentDirectory() override;
        bool FileExists(const std::string& path) override;
        SystemTime GetLocalTime() override;
        long TimeZoneBias() override;
        std::uint32_t RandomSeed() override;
        std::string WideToAnsi(const std::wstring& text) override;
        std::wstring AnsiToWide(const std::string& text) override;
        std::vector<std::uint8_t> LoadResourceData(const std::string& name) override;
        void DebugOutput(const std::string& text) override;
        std::uint64_t ThreadCpuMicroseconds() override;
    };
} // namespace os::win32
