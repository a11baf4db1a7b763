// A registry accessor for one key at a time. It closes its key on every path
// (its destructor), and reads values by type: a value of another type than the
// one asked for reads as missing.
#pragma once

#include "os/os.h"

#include <optional>
#include <string>
#include <vector>

namespace forms
{
    struct RegistryValue
    {
        os::DWORD type = os::reg::none;
        std::vector<std::uint8_t> data;
    };

    class Registry
    {
      public:
        explicit Registry(os::IRegistry& registry, os::RegRoot root = os::RegRoot::currentUser);
        Registry(const Registry&) = delete;
        Registry& operator=(const Registry&) = delete;
        ~Registry();

        // Opens a key of the root ("\Software\..." or "Software\..."), closing the
        // one held before; with canCreate it is made when missing.
        bool OpenKey(const std::string& path, bool canCreate);
        void CloseKey();
        bool IsOpen() const { return _key != os::RegKeyHandle{}; }

        std::optional<RegistryValue> ReadValue(const std::string& name);
        // REG_SZ and REG_EXPAND_SZ, cut at the first NUL.
        std::optional<std::string> ReadString(const std::string& name);
        // REG_DWORD of exactly four bytes.
        std::optional<std::int32_t> ReadInteger(const std::string& name);

        bool WriteString(const std::string& name, const std::string& value);
        bool WriteInteger(const std::string& name, std::int32_t value);
        bool WriteBinary(const std::string& name, const std::vector<std::uint8_t>& value);
        bool DeleteValue(const std::string& name);
        // The values of the open key (names, types, sizes); nullopt when it cannot be read.
        std::optional<std::vector<os::RegValueInfo>> ListValues();

      private:
        os::IRegistry& _registry;
        os::RegRoot _root;
        os::RegKeyHandle _key{};
    };
} // namespace forms
