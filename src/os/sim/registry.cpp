#include "os/sim/registry.h"

#include <algorithm>
#include <cctype>

namespace os::sim
{
    namespace
    {
        std::string Lower(std::string s)
        {
            std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return s;
        }

        // Parent key identifiers of "root|a\\b\\c": "root|a", "root|a\\b".
        std::vector<std::string> Ancestors(const std::string& id)
        {
            std::vector<std::string> out;
            const auto bar = id.find('|');
            for (auto pos = id.find('\\', bar); pos != std::string::npos; pos = id.find('\\', pos + 1))
                out.push_back(id.substr(0, pos));
            return out;
        }
    } // namespace

    std::string SimRegistry::KeyId(RegRoot root, const std::string& path)
    {
        std::string p = path;
        while (!p.empty() && p.front() == '\\')
            p.erase(p.begin());
        while (!p.empty() && p.back() == '\\')
            p.pop_back();
        return std::to_string(static_cast<std::uint32_t>(root)) + "|" + Lower(p);
    }

    void SimRegistry::Put(RegRoot root, const std::string& path, const std::string& name, RegValue value)
    {
        const std::string id = KeyId(root, path);
        for (const auto& a : Ancestors(id))
            _keys[a];
        _keys[id][Lower(name)] = std::move(value);
    }

    void SimRegistry::PutString(RegRoot root, const std::string& path, const std::string& name, const std::string& value)
    {
        std::vector<std::uint8_t> bytes(value.begin(), value.end());
        bytes.push_back(0);
        Put(root, path, name, { reg::sz, bytes });
    }

    void SimRegistry::PutDword(RegRoot root, const std::string& path, const std::string& name, DWORD value)
    {
        Put(root, path, name,
            { reg::dword,
              { static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value >> 16),
                static_cast<std::uint8_t>(value >> 24) } });
    }

    void SimRegistry::PutBinary(RegRoot root, const std::string& path, const std::string& name,
                                const std::vector<std::uint8_t>& value)
    {
        Put(root, path, name, { reg::binary, value });
    }

    std::optional<RegValue> SimRegistry::Get(RegRoot root, const std::string& path, const std::string& name) const
    {
        auto key = _keys.find(KeyId(root, path));
        if (key == _keys.end())
            return std::nullopt;
        auto value = key->second.find(Lower(name));
        if (value == key->second.end())
            return std::nullopt;
        return value->second;
    }

    std::optional<std::string> SimRegistry::GetString(RegRoot root, const std::string& path, const std::string& name) const
    {
        auto v = Get(root, path, name);
        if (!v || (v->type != reg::sz && v->type != reg::expand_sz))
            return std::nullopt;
        std::string s(v->data.begin(), v->data.end());
        if (auto nul = s.find('\0'); nul != std::string::npos)
            s.resize(nul);
        return s;
    }

    bool SimRegistry::KeyExists(RegRoot root, const std::string& path) const
    {
        return _keys.count(KeyId(root, path)) != 0;
    }

    std::vector<std::string> SimRegistry::ValueNames(RegRoot root, const std::string& path) const
    {
        std::vector<std::string> names;
        auto key = _keys.find(KeyId(root, path));
        if (key != _keys.end())
            for (const auto& [name, value] : key->second)
                names.push_back(name);
        return names;
    }

    void SimRegistry::RemoveKey(RegRoot root, const std::string& path)
    {
        _keys.erase(KeyId(root, path));
    }

    long SimRegistry::OpenKey(RegRoot root, const std::string& path, bool create, RegKeyHandle& key)
    {
        key = RegKeyHandle{};
        const std::string id = KeyId(root, path);
        if (_failOpen.count(id))
            return error::access_denied;
        if (!_keys.count(id))
        {
            if (!create)
                return error::file_not_found;
            for (const auto& a : Ancestors(id))
                _keys[a];
            _keys[id];
        }
        key = RegKeyHandle{ _nextHandle };
        _nextHandle += 4;
        _handles[key] = id;
        ++_opens;
        return error::success;
    }

    long SimRegistry::CloseKey(RegKeyHandle key)
    {
        return _handles.erase(key) ? error::success : error::invalid_handle;
    }

    long SimRegistry::QueryValue(RegKeyHandle key, const std::string& name, DWORD& type, std::vector<std::uint8_t>& data)
    {
        auto h = _handles.find(key);
        if (h == _handles.end())
            return error::invalid_handle;
        auto k = _keys.find(h->second);
        if (k == _keys.end())
            return error::file_not_found;
        auto v = k->second.find(Lower(name));
        if (v == k->second.end())
            return error::file_not_found;
        type = v->second.type;
        data = v->second.data;
        return error::success;
    }

    long SimRegistry::SetValue(RegKeyHandle key, const std::string& name, DWORD type, const std::vector<std::uint8_t>& data)
    {
        auto h = _handles.find(key);
        if (h == _handles.end())
            return error::invalid_handle;
        if (_failWrite.count(h->second))
            return error::access_denied;
        _keys[h->second][Lower(name)] = { type, data };
        return error::success;
    }

    long SimRegistry::ListValues(RegKeyHandle key, std::vector<RegValueInfo>& values)
    {
        values.clear();
        auto h = _handles.find(key);
        if (h == _handles.end())
            return error::invalid_handle;
        if (auto k = _keys.find(h->second); k != _keys.end())
            for (const auto& [name, value] : k->second)
                values.push_back({ name, value.type, value.data.size() });
        return error::success;
    }

    long SimRegistry::DeleteValue(RegKeyHandle key, const std::string& name)
    {
        auto h = _handles.find(key);
        if (h == _handles.end())
            return error::invalid_handle;
        if (_failWrite.count(h->second))
            return error::access_denied;
        auto k = _keys.find(h->second);
        if (k == _keys.end() || k->second.erase(Lower(name)) == 0)
            return error::file_not_found;
        return error::success;
    }
} // namespace os::sim
