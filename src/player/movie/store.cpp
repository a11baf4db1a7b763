#include "player/movie/store.h"

#include "forms/registry.h"
#include "player/movie/movie_player.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace player::movie
{
    namespace
    {
        constexpr std::string_view Magic = "NMS1\n";
        const std::string StoreKey = std::string(SettingsKey) + "\\Movies";

        void Put(std::string& out, std::string_view text)
        {
            out += std::to_string(text.size());
            out += ':';
            out += text;
        }

        std::string Lower(std::string s)
        {
            for (char& c : s)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return s;
        }

        bool Has(const std::vector<os::RegValueInfo>& values, const std::string& name)
        {
            for (const auto& v : values)
                if (Lower(v.name) == name)
                    return true;
            return false;
        }

        std::optional<std::string_view> Take(std::string_view& in)
        {
            const std::size_t colon = in.find(':');
            if (colon == std::string_view::npos || colon == 0 || colon > 6)
                return std::nullopt;
            std::size_t n = 0;
            const auto [end, ec] = std::from_chars(in.data(), in.data() + colon, n);
            if (ec != std::errc{} || end != in.data() + colon || n > in.size() - colon - 1)
                return std::nullopt;
            const std::string_view text = in.substr(colon + 1, n);
            in.remove_prefix(colon + 1 + n);
            return text;
        }
    } // namespace

    bool ValidStoreKey(std::string_view key)
    {
        if (key.empty() || key.size() > 64)
            return false;
        for (unsigned char c : key)
            if (!std::isalnum(c) && c != '_' && c != '.' && c != '-')
                return false;
        return true;
    }

    std::string SerializeStore(const StoreMap& store)
    {
        std::string out(Magic);
        for (const auto& [key, value] : store)
        {
            Put(out, key);
            if (const auto* s = std::get_if<std::string>(&value))
                out += 's', Put(out, *s);
            else if (const auto* d = std::get_if<double>(&value))
            {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.17g", *d);
                out += 'n', Put(out, buf);
            }
            else
                out += 'b', Put(out, std::get<bool>(value) ? "1" : "0");
        }
        return out;
    }

    std::optional<StoreMap> ParseStore(std::string_view in)
    {
        if (in.size() > StoreCap || in.substr(0, Magic.size()) != Magic)
            return std::nullopt;
        in.remove_prefix(Magic.size());
        StoreMap out;
        while (!in.empty())
        {
            const auto key = Take(in);
            if (!key || !ValidStoreKey(*key) || in.empty())
                return std::nullopt;
            const char type = in[0];
            in.remove_prefix(1);
            const auto text = Take(in);
            if (!text)
                return std::nullopt;
            if (type == 's')
                out[std::string(*key)] = std::string(*text);
            else if (type == 'b' && (*text == "0" || *text == "1"))
                out[std::string(*key)] = *text == "1";
            else if (type == 'n')
            {
                double d = 0;
                const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), d);
                if (ec != std::errc{} || end != text->data() + text->size())
                    return std::nullopt;
                out[std::string(*key)] = d;
            }
            else
                return std::nullopt;
        }
        return out;
    }

    const StoreMap& Store::Load()
    {
        if (!_cache)
        {
            _cache.emplace();
            forms::Registry reg(_registry);
            if (reg.OpenKey(StoreKey, false))
                if (auto value = reg.ReadValue(_origin); value && value->type == os::reg::binary)
                    if (auto parsed =
                            ParseStore(std::string_view(reinterpret_cast<const char*>(value->data.data()), value->data.size())))
                        _cache = std::move(*parsed);
        }
        return *_cache;
    }

    std::optional<StoreValue> Store::Get(const std::string& key)
    {
        const StoreMap& store = Load();
        auto it = store.find(key);
        if (it == store.end())
            return std::nullopt;
        return it->second;
    }

    bool Store::Set(const std::string& key, const std::optional<StoreValue>& value, std::string& why)
    {
        if (!ValidStoreKey(key))
        {
            why = "a store key is 1 to 64 letters, digits, '_', '.' or '-'";
            return false;
        }
        StoreMap next = Load();
        if (value)
            next[key] = *value;
        else
            next.erase(key);
        if (_origin.empty())
        {
            why = "the movie has no origin to keep a store for";
            return false;
        }
        const std::string bytes = SerializeStore(next);
        if (bytes.size() > StoreCap)
        {
            why = "the store is full";
            return false;
        }
        forms::Registry reg(_registry);
        if (!reg.OpenKey(StoreKey, true))
        {
            why = "the registry refused the store";
            return false;
        }
        // The stores of every origin live side by side: their number and their bytes
        // together are capped too, so that movies from ever new origins cannot fill
        // the registry. A store that does not grow is always written.
        if (bytes.size() > SerializeStore(Load()).size())
        {
            const auto values = reg.ListValues();
            if (!values)
            {
                why = "the registry refused the store";
                return false;
            }
            std::size_t others = 0;
            std::size_t total = bytes.size() + _origin.size();
            for (const auto& v : *values)
            {
                if (Lower(v.name) == _origin)
                    continue;
                ++others;
                total += v.size + v.name.size();
            }
            if (others >= MaxStoreOrigins && !Has(*values, _origin))
            {
                why = "the movies' stores are full (" + std::to_string(MaxStoreOrigins) + " origins)";
                return false;
            }
            if (total > StoreTotalCap)
            {
                why = "the movies' stores are full (" + std::to_string(StoreTotalCap >> 10) + " KiB in all)";
                return false;
            }
        }
        if (!reg.WriteBinary(_origin, std::vector<std::uint8_t>(bytes.begin(), bytes.end())))
        {
            why = "the registry refused the store";
            return false;
        }
        _cache = std::move(next);
        return true;
    }
} // namespace player::movie
