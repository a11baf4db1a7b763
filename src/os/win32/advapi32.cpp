#include "os/win32/advapi32.h"

#include "os/win32/common.h"

#include <climits>

namespace os::win32
{
    namespace
    {
        HKEY RootKey(RegRoot root)
        {
            switch (root)
            {
            case RegRoot::classesRoot: return HKEY_CLASSES_ROOT;
            case RegRoot::currentUser: return HKEY_CURRENT_USER;
            case RegRoot::localMachine: return HKEY_LOCAL_MACHINE;
            }
            return nullptr;
        }

        // A value that grows between the two calls of the size protocol is asked for
        // again, a few times at most.
        constexpr int kQueryAttempts = 4;
    } // namespace

    long Win32Registry::OpenKey(RegRoot root, const std::string& path, bool create, RegKeyHandle& key)
    {
        key = RegKeyHandle{};
        HKEY parent = RootKey(root);
        if (!parent)
            return ERROR_INVALID_HANDLE;
        HKEY opened = nullptr;
        LONG result = create ? RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                               nullptr, &opened, nullptr)
                             : RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ | KEY_WRITE, &opened);
        if (result == ERROR_SUCCESS)
            key = FromHkey(opened);
        return result;
    }

    long Win32Registry::CloseKey(RegKeyHandle key)
    {
        return RegCloseKey(ToHkey(key));
    }

    long Win32Registry::QueryValue(RegKeyHandle key, const std::string& name, DWORD& type, std::vector<std::uint8_t>& data)
    {
        data.clear();
        ::DWORD valueType = REG_NONE;
        ::DWORD size = 0;
        LONG result = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType, nullptr, &size);
        for (int attempt = 0; result == ERROR_SUCCESS && size > 0 && attempt < kQueryAttempts; ++attempt)
        {
            data.resize(size);
            result = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType, data.data(), &size);
            if (result == ERROR_SUCCESS)
            {
                data.resize(size); // the first answer may be larger than the ANSI data
                break;
            }
        }
        if (result != ERROR_SUCCESS)
        {
            data.clear();
            return result;
        }
        type = valueType;
        return ERROR_SUCCESS;
    }

    long Win32Registry::SetValue(RegKeyHandle key, const std::string& name, DWORD type, const std::vector<std::uint8_t>& data)
    {
        if (data.size() > ULONG_MAX)
            return ERROR_INVALID_PARAMETER;
        return RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                              static_cast<DWORD>(data.size()));
    }

    long Win32Registry::DeleteValue(RegKeyHandle key, const std::string& name)
    {
        return RegDeleteValueA(ToHkey(key), name.c_str());
    }

    long Win32Registry::ListValues(RegKeyHandle key, std::vector<RegValueInfo>& values)
    {
        values.clear();
        ::DWORD count = 0;
        ::DWORD longestName = 0;
        LONG result = RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                                       nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS)
            return result;
        std::vector<char> name(static_cast<std::size_t>(longestName) + 1);
        for (::DWORD i = 0;; ++i)
        {
            ::DWORD nameLength = static_cast<::DWORD>(name.size());
            ::DWORD type = REG_NONE;
            ::DWORD size = 0;
            result = RegEnumValueA(ToHkey(key), i, name.data(), &nameLength, nullptr, &type, nullptr, &size);
            if (result == ERROR_NO_MORE_ITEMS)
                return ERROR_SUCCESS;
            if (result == ERROR_MORE_DATA && name.size() < 65536) // a value added meanwhile with a longer name
            {
                name.resize(name.size() * 2);
                --i;
                continue;
            }
            if (result != ERROR_SUCCESS)
                return result;
            values.push_back({ std::string(name.data(), nameLength), type, size });
        }
    }
} // namespace os::win32
