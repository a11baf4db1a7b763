// kernel32 services: the named mutex, files, the clock, text conversion and resources.
#include "os/win32/backend.h"
#include "os/win32/common.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace os::win32::test
{
    namespace
    {
        class ProcessTest : public ::testing::Test
        {
          protected:
            std::string MutexName(const char* what)
            {
                return std::string("NorvaleBackendTest.") + what + "." + std::to_string(GetCurrentProcessId());
            }

            std::unique_ptr<Backend> backend = CreateBackend();
            IProcess& process = backend->Os().process;
        };
    } // namespace

    TEST_F(ProcessTest, NamedMutexIsReentrantForItsOwnerAndExcludesOthers)
    {
        const std::string name = MutexName("owned");
        const KernelHandle mutex = process.CreateNamedMutex(name);
        ASSERT_NE(mutex, KernelHandle{});
        // Made not owned: the first wait takes it, a second wait of the owner too.
        EXPECT_EQ(process.WaitForSingleObject(mutex, 0), wait::object_0);
        EXPECT_EQ(process.WaitForSingleObject(mutex, 0), wait::object_0);

        DWORD other = wait::failed;
        std::thread(
            [&]
            {
                const KernelHandle same = process.CreateNamedMutex(name);
                EXPECT_EQ(GetLastError(), static_cast<::DWORD>(ERROR_ALREADY_EXISTS));
                other = process.WaitForSingleObject(same, 0);
                CloseHandle(ToHandle(same));
            })
            .join();
        EXPECT_EQ(other, wait::timeout);

        ReleaseMutex(ToHandle(mutex));
        ReleaseMutex(ToHandle(mutex));
        CloseHandle(ToHandle(mutex));
    }

    TEST_F(ProcessTest, MutexLeftByAnEndedOwnerIsAbandonedNotBlocked)
    {
        const std::string name = MutexName("abandoned");
        std::thread(
            [&]
            {
                const KernelHandle mutex = process.CreateNamedMutex(name);
                EXPECT_EQ(process.WaitForSingleObject(mutex, 0), wait::object_0);
                // The thread ends holding it, as a crashed instance would.
            })
            .join();
        const KernelHandle mutex = process.CreateNamedMutex(name);
        EXPECT_EQ(process.WaitForSingleObject(mutex, 0), wait::abandoned);
        ReleaseMutex(ToHandle(mutex));
        CloseHandle(ToHandle(mutex));
    }

    TEST_F(ProcessTest, WaitOnNoHandleFails)
    {
        EXPECT_EQ(process.WaitForSingleObject(KernelHandle{}, 0), wait::failed);
    }

    TEST_F(ProcessTest, TextConvertsThroughTheAnsiCodePage)
    {
        const std::wstring wide = L"Ticker: caf\u00E9 \u00A3 10";
        const std::string ansi = process.WideToAnsi(wide);
        EXPECT_EQ(process.AnsiToWide(ansi), wide);
        EXPECT_EQ(process.WideToAnsi(L""), "");
        EXPECT_EQ(process.AnsiToWide(""), L"");
        // Embedded NULs are text like any other.
        EXPECT_EQ(process.AnsiToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
        if (GetACP() != 1252)
            GTEST_SKIP() << "ANSI code page " << GetACP();
        EXPECT_EQ(ansi, "Ticker: caf\xE9 \xA3 10");
        // What the code page cannot hold becomes its default character.
        EXPECT_EQ(process.WideToAnsi(L"\u4E2D!"), "?!");
    }

    TEST_F(ProcessTest, FileExistsIsForFilesOnly)
    {
        char exe[MAX_PATH] = {};
        ASSERT_GT(GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
        EXPECT_TRUE(process.FileExists(exe));
        std::string folder = exe;
        folder.resize(folder.find_last_of('\\'));
        EXPECT_FALSE(process.FileExists(folder));
        EXPECT_FALSE(process.FileExists(folder + "\\no-such-file.swf"));
        EXPECT_FALSE(process.FileExists(""));
    }

    TEST_F(ProcessTest, CurrentDirectoryFollowsTheProcess)
    {
        char before[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, before);
        char temp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        ASSERT_TRUE(SetCurrentDirectoryA(temp));
        char expected[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, expected);
        EXPECT_EQ(process.CurrentDirectory(), expected);
        SetCurrentDirectoryA(before);
        EXPECT_EQ(process.CurrentDirectory(), before);
    }

    TEST_F(ProcessTest, ResourceDataIsCopiedWholeAndMissingIsEmpty)
    {
        const auto data = process.LoadResourceData("NORVALE_TEST_DATA");
        const std::string expected("data\0with nul", 13);
        EXPECT_EQ(std::string(data.begin(), data.end()), expected);
        EXPECT_EQ(process.LoadResourceData("norvale_test_data"), data); // names ignore case
        EXPECT_TRUE(process.LoadResourceData("NO_SUCH_RESOURCE").empty());
    }

    TEST_F(ProcessTest, ClockValuesAreSane)
    {
        const SystemTime t = process.GetLocalTime();
        EXPECT_GE(t.year, 2020);
        EXPECT_GE(t.month, 1);
        EXPECT_LE(t.month, 12);
        EXPECT_GE(t.day, 1);
        EXPECT_LE(t.day, 31);
        EXPECT_LE(t.dayOfWeek, 6);
        EXPECT_LE(t.hour, 23);
        EXPECT_LE(t.milliseconds, 999);
        // Local time = UTC - bias: the bias is within the world's time zones.
        const long bias = process.TimeZoneBias();
        EXPECT_GE(bias, -14 * 60);
        EXPECT_LE(bias, 12 * 60);
        TIME_ZONE_INFORMATION info{};
        GetTimeZoneInformation(&info);
        EXPECT_EQ(bias, info.Bias);

        const std::uint32_t a = process.RandomSeed();
        Sleep(2);
        EXPECT_NE(process.RandomSeed(), a);
    }
} // namespace os::win32::test
