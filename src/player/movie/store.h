// A movie's small persistent store: typed values by key, per content origin,
// kept as one binary value under the settings key in the registry. Whatever the
// registry holds is read safely: a value that does not parse is an empty store.
#pragma once

#include "os/os.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace player::movie
{
    using StoreValue = std::variant<std::string, double, bool>;
    using StoreMap = std::map<std::string, StoreValue>;

    inline constexpr std::size_t StoreCap = 16 * 1024;       // bytes of one origin's store
    inline constexpr std::size_t MaxStoreOrigins = 32;       // origins with a store
    inline constexpr std::size_t StoreTotalCap = 256 * 1024; // bytes of every origin's store together

    bool ValidStoreKey(std::string_view key); // 1-64 of [A-Za-z0-9_.-]
    std::string SerializeStore(const StoreMap& store);
    std::optional<StoreMap> ParseStore(std::string_view bytes);

    class Store
    {
      public:
        Store(os::IRegistry& registry, std::string origin) : _registry(registry), _origin(std::move(origin)) {}
        std::optional<StoreValue> Get(const std::string& key);
        // Sets (or with nullopt deletes) a value; false with the reason when the key
        // is not valid, the store would pass its cap, or the registry refuses.
        bool Set(const std::string& key, const std::optional<StoreValue>& value, std::string& why);

      private:
        const StoreMap& Load();
        os::IRegistry& _registry;
        std::string _origin;
        std::optional<StoreMap> _cache;
    };
} // namespace player::movie
