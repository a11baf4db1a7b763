// The registry, through the ANSI functions: key paths, value names and string data
// are 8-bit text in the ANSI code page, as the program stores them.
#pragma once

#include "os/os.h"

namespace os::win32
{
    class Win32Registry final : public IRegistry
    {
      public:
        long OpenKey(RegRoot root, const std::string& path, bool create, RegKeyHandle& key) override;
        long CloseKey(RegKeyHandle key) override;
        long QueryValue(RegKeyHandle key, const std::string& name, DWORD& type, std::vector<std::uint8_t>& data) override;
        long SetValue(RegKeyHandle key, const std::string& name, DWORD type, const std::vector<std::uint8_t>& data) override;
        long DeleteValue(RegKeyHandle key, const std::string& name) override;
        long ListValues(RegKeyHandle key, std::vector<RegValueInfo>& values) override;
    };
} // namespace os::win32
