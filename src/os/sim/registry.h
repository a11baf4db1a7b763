// The simulated registry: keys with typed values, open handles that must be
// closed, and failures that a test can switch on per key.
#pragma once

#include "os/os.h"

#include <map>
#include <optional>
#include <set>

namespace os::sim
{
    struct RegValue
    {
        DWORD type = reg::none;
        std::vector<std::uint8_t> data;
        friend bool operator==(const RegValue&, const RegValue&) = default;
    };

    class SimRegistry final : public IRegistry
    {
      public:
        // ---- scene and look (test side). Paths are "Software\\Norvale\\..." without a
        // leading backslash; names compare without regard to case, as in Windows.
        void PutString(RegRoot root, const std::string& path, const std::string& name, const std::string& value);
        void PutDword(RegRoot root, const std::string& path, const std::string& name, DWORD value);
        void PutBinary(RegRoot root, const std::string& path, const std::string& name, const std::vector<std::uint8_t>& value);
        void Put(RegRoot root, const std::string& path, const std::string& name, RegValue value);
        std::optional<RegValue> Get(RegRoot root, const std::string& path, const std::string& name) const;
        std::optional<std::string> GetString(RegRoot root, const std::string& path, const std::string& name) const;
        bool KeyExists(RegRoot root, const std::string& path) const;
        std::vector<std::string> ValueNames(RegRoot root, const std::string& path) const;
        void RemoveKey(RegRoot root, const std::string& path);

        // Opening this key (and, with `create`, making it) fails with access denied.
        void FailOpen(RegRoot root, const std::string& path) { _failOpen.insert(KeyId(root, path)); }
        void FailWrites(RegRoot root, const std::string& path) { _failWrite.insert(KeyId(root, path)); }
        void ClearFailures()
        {
            _failOpen.clear();
            _failWrite.clear();
        }

        std::size_t OpenHandles() const { return _handles.size(); }
        int OpenCount() const { return _opens; } // every successful open so far

        // ---- IRegistry
        long OpenKey(RegRoot root, const std::string& path, bool create, RegKeyHandle& key) override;
        long CloseKey(RegKeyHandle key) override;
        long QueryValue(RegKeyHandle key, const std::string& name, DWORD& type, std::vector<std::uint8_t>& data) override;
        long SetValue(RegKeyHandle key, const std::string& name, DWORD type, const std::vector<std::uint8_t>& data) override;
        long DeleteValue(RegKeyHandle key, const std::string& name) override;
        long ListValues(RegKeyHandle key, std::vector<RegValueInfo>& values) override;

      private:
        static std::string KeyId(RegRoot root, const std::string& path);

        // Key identifier (root and lower-cased path) -> lower-cased value name -> value.
        std::map<std::string, std::map<std::string, RegValue>> _keys;
        std::map<RegKeyHandle, std::string> _handles;
        std::set<std::string> _failOpen;
        std::set<std::string> _failWrite;
        std::intptr_t _nextHandle = 0x30010;
        int _opens = 0;
    };
} // namespace os::sim
