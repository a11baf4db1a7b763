// The registry adapter against Wine's registry, under a key of its own in
// HKEY_CURRENT_USER that the tests remove again.
#include "os/win32/backend.h"
#include "os/win32/common.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace os::win32::test
{
    namespace
    {
        constexpr char kKey[] = "Software\\NorvaleBackendTest";

        class RegistryTest : public ::testing::Test
        {
          protected:
            void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }
            void TearDown() override
            {
                if (key != RegKeyHandle{})
                    reg.CloseKey(key);
                EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
            }

            std::vector<std::uint8_t> Bytes(const std::string& s, bool nul = true)
            {
                std::vector<std::uint8_t> out(s.begin(), s.end());
                if (nul)
                    out.push_back(0);
                return out;
            }

            std::unique_ptr<Backend> backend = CreateBackend();
            IRegistry& reg = backend->Os().registry;
            RegKeyHandle key{};
        };
    } // namespace

    TEST_F(RegistryTest, ValuesKeepTheirTypesAndBytes)
    {
        ASSERT_EQ(reg.OpenKey(RegRoot::currentUser, kKey, true, key), error::success);
        ASSERT_NE(key, RegKeyHandle{});

        const std::vector<std::uint8_t> dword = { 0x78, 0x56, 0x34, 0x12 };
        const std::vector<std::uint8_t> binary = { 0, 1, 2, 0xFF, 0, 0x80 };
        EXPECT_EQ(reg.SetValue(key, "text", reg::sz, Bytes("hello \xA3")), error::success);
        EXPECT_EQ(reg.SetValue(key, "number", reg::dword, dword), error::success);
        EXPECT_EQ(reg.SetValue(key, "blob", reg::binary, binary), error::success);
        EXPECT_EQ(reg.SetValue(key, "", reg::binary, { 9, 8, 7 }), error::success); // the key's default value
        EXPECT_EQ(reg.SetValue(key, "empty", reg::binary, {}), error::success);

        DWORD type = 0;
        std::vector<std::uint8_t> data;
        EXPECT_EQ(reg.QueryValue(key, "text", type, data), error::success);
        EXPECT_EQ(type, reg::sz);
        EXPECT_EQ(data, Bytes("hello \xA3"));
        EXPECT_EQ(reg.QueryValue(key, "NUMBER", type, data), error::success); // names ignore case
        EXPECT_EQ(type, reg::dword);
        EXPECT_EQ(data, dword);
        EXPECT_EQ(reg.QueryValue(key, "blob", type, data), error::success);
        EXPECT_EQ(type, reg::binary);
        EXPECT_EQ(data, binary);
        EXPECT_EQ(reg.QueryValue(key, "", type, data), error::success);
        EXPECT_EQ(data, (std::vector<std::uint8_t>{ 9, 8, 7 }));
        data = { 1 };
        EXPECT_EQ(reg.QueryValue(key, "empty", type, data), error::success);
        EXPECT_EQ(type, reg::binary);
        EXPECT_TRUE(data.empty());

        // What another program wrote through the wide functions reads as ANSI text.
        const wchar_t wide[] = L"wide \u00A3";
        ASSERT_EQ(RegSetValueExW(ToHkey(key), L"widetext", 0, REG_SZ, reinterpret_cast<const BYTE*>(wide), sizeof(wide)),
                  ERROR_SUCCESS);
        EXPECT_EQ(reg.QueryValue(key, "widetext", type, data), error::success);
        EXPECT_EQ(type, reg::sz);
        if (GetACP() == 1252)
        {
            EXPECT_EQ(data, Bytes("wide \xA3"));
        }
        else
        {
            EXPECT_EQ(data.back(), 0);
        }

        // Still there through a second handle.
        RegKeyHandle again{};
        ASSERT_EQ(reg.OpenKey(RegRoot::currentUser, kKey, false, again), error::success);
        EXPECT_EQ(reg.QueryValue(again, "blob", type, data), error::success);
        EXPECT_EQ(data, binary);
        EXPECT_EQ(reg.CloseKey(again), error::success);
    }

    TEST_F(RegistryTest, MissingValuesAndKeysAnswerFileNotFound)
    {
        ASSERT_EQ(reg.OpenKey(RegRoot::currentUser, kKey, true, key), error::success);
        DWORD type = 77;
        std::vector<std::uint8_t> data = { 1, 2 };
        EXPECT_EQ(reg.QueryValue(key, "missing", type, data), error::file_not_found);
        EXPECT_TRUE(data.empty());
        EXPECT_EQ(type, 77u);

        EXPECT_EQ(reg.SetValue(key, "gone", reg::dword, { 1, 0, 0, 0 }), error::success);
        EXPECT_EQ(reg.DeleteValue(key, "gone"), error::success);
        EXPECT_EQ(reg.QueryValue(key, "gone", type, data), error::file_not_found);
        EXPECT_EQ(reg.DeleteValue(key, "gone"), error::file_not_found);

        RegKeyHandle missing{ 0x55 };
        EXPECT_EQ(reg.OpenKey(RegRoot::currentUser, std::string(kKey) + "\\Not\\There", false, missing), error::file_not_found);
        EXPECT_EQ(missing, RegKeyHandle{});
        // With create, the whole path is made.
        RegKeyHandle deep{};
        ASSERT_EQ(reg.OpenKey(RegRoot::currentUser, std::string(kKey) + "\\Made\\Deep", true, deep), error::success);
        EXPECT_EQ(reg.CloseKey(deep), error::success);
        EXPECT_EQ(reg.OpenKey(RegRoot::currentUser, std::string(kKey) + "\\Made\\Deep", false, deep), error::success);
        EXPECT_EQ(reg.CloseKey(deep), error::success);
    }

    TEST_F(RegistryTest, ListingGivesEveryValueWithItsTypeAndSize)
    {
        ASSERT_EQ(reg.OpenKey(RegRoot::currentUser, kKey, true, key), error::success);
        std::vector<RegValueInfo> values{ { "stale", 1, 1 } };
        EXPECT_EQ(reg.ListValues(key, values), error::success);
        EXPECT_TRUE(values.empty());
        const std::string longName(300, 'n');
        EXPECT_EQ(reg.SetValue(key, "http://127.0.0.1:8421", reg::binary, std::vector<std::uint8_t>(1000, 7)), error::success);
        EXPECT_EQ(reg.SetValue(key, longName, reg::sz, Bytes("ab")), error::success);
        EXPECT_EQ(reg.ListValues(key, values), error::success);
        ASSERT_EQ(values.size(), 2u);
        std::sort(values.begin(), values.end(), [](const RegValueInfo& a, const RegValueInfo& b) { return a.name < b.name; });
        EXPECT_EQ(values[0].name, "http://127.0.0.1:8421");
        EXPECT_EQ(values[0].type, reg::binary);
        EXPECT_EQ(values[0].size, 1000u);
        EXPECT_EQ(values[1].name, longName);
        EXPECT_EQ(values[1].size, 3u);
        EXPECT_NE(reg.ListValues(RegKeyHandle{ 0x1234 }, values), error::success) << "not a key";
    }
} // namespace os::win32::test
