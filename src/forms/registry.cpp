#include "forms/registry.h"

namespace forms
{
    Registry::Registry(os::IRegistry& registry, os::RegRoot root) : _registry(registry), _root(root) {}

    Registry::~Registry()
    {
        CloseKey();
    }

    bool Registry::OpenKey(const std::string& path, bool canCreate)
    {
        CloseKey();
        std::string relative = path;
        while (!relative.empty() && relative.front() == '\\')
            relative.erase(relative.begin());
        os::RegKeyHandle key{};
        if (_registry.OpenKey(_root, relative, canCreate, key) != os::error::success)
            return false;
        _key = key;
        return true;
    }

    void Registry::CloseKey()
    {
        if (_key != os::RegKeyHandle{})
        {
            _registry.CloseKey(_key);
            _key = os::RegKeyHandle{};
        }
    }

    std::optional<RegistryValue> Registry::ReadValue(const std::string& name)
    {
        if (!IsOpen())
            return std::nullopt;
        RegistryValue value;
        if (_registry.QueryValue(_key, name, value.type, value.data) != os::error::success)
            return std::nullopt;
        return value;
    }

    std::optional<std::string> Registry::ReadString(const std::string& name)
    {
        auto value = ReadValue(name);
        if (!value || (value->type != os::reg::sz && value->type != os::reg::expand_sz))
            return std::nullopt;
        std::string text(value->data.begin(), value->data.end());
        if (auto nul = text.find('\0'); nul != std::string::npos)
            text.resize(nul);
        return text;
    }

    std::optional<std::int32_t> Registry::ReadInteger(const std::string& name)
    {
        auto value = ReadValue(name);
        if (!value || value->type != os::reg::dword || value->data.size() != 4)
            return std::nullopt;
        const auto& d = value->data;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(d[0]) | (static_cast<std::uint32_t>(d[1]) << 8) |
                                         (static_cast<std::uint32_t>(d[2]) << 16) | (static_cast<std::uint32_t>(d[3]) << 24));
    }

    bool Registry::WriteString(const std::string& name, const std::string& value)
    {
        if (!IsOpen())
            return false;
        std::vector<std::uint8_t> data(value.begin(), value.end());
        data.push_back(0);
        return _registry.SetValue(_key, name, os::reg::sz, data) == os::error::success;
    }

    bool Registry::WriteInteger(const std::string& name, std::int32_t value)
    {
        if (!IsOpen())
            return false;
        const auto v = static_cast<std::uint32_t>(value);
        const std::vector<std::uint8_t> data{ static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                              static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24) };
        return _registry.SetValue(_key, name, os::reg::dword, data) == os::error::success;
    }

    bool Registry::WriteBinary(const std::string& name, const std::vector<std::uint8_t>& value)
    {
        if (!IsOpen())
            return false;
        return _registry.SetValue(_key, name, os::reg::binary, value) == os::error::success;
    }

    bool Registry::DeleteValue(const std::string& name)
    {
        if (!IsOpen())
            return false;
        return _registry.DeleteValue(_key, name) == os::error::success;
    }

    std::optional<std::vector<os::RegValueInfo>> Registry::ListValues()
    {
        std::vector<os::RegValueInfo> values;
        if (!IsOpen() || _registry.ListValues(_key, values) != os::error::success)
            return std::nullopt;
        return values;
    }
} // namespace forms
