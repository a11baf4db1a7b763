// The simulated registry, process and shell services.
#include "os/sim/desktop.h"
#include "support/recorder.h"

#include <gtest/gtest.h>

using namespace os;

namespace
{
    class SimServicesTest : public ::testing::Test
    {
      protected:
        sim::Desktop desktop;
    };

    std::vector<std::uint8_t> Bytes(const std::string& s)
    {
        return { s.begin(), s.end() };
    }
} // namespace

TEST_F(SimServicesTest, RegistryValuesKeepTheirTypes)
{
    IRegistry& reg = desktop.registry;
    RegKeyHandle key{};
    ASSERT_EQ(reg.OpenKey(RegRoot::currentUser, "Software\\Norvale\\Test", true, key), error::success);
    EXPECT_EQ(reg.SetValue(key, "Text", reg::sz, Bytes(std::string("abc") + '\0')), error::success);
    EXPECT_EQ(reg.SetValue(key, "Number", reg::dword, { 1, 0, 0, 0 }), error::success);
    EXPECT_EQ(reg.SetValue(key, "", reg::binary, { 9, 8, 7 }), error::success);
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(reg.QueryValue(key, "NUMBER", type, data), error::success) << "value names ignore case";
    EXPECT_EQ(type, reg::dword);
    ASSERT_EQ(reg.QueryValue(key, "", type, data), error::success);
    EXPECT_EQ(type, reg::binary);
    EXPECT_EQ(data, (std::vector<std::uint8_t>{ 9, 8, 7 }));
    EXPECT_EQ(reg.QueryValue(key, "Missing", type, data), error::file_not_found);
    EXPECT_EQ(reg.DeleteValue(key, "Text"), error::success);
    EXPECT_EQ(reg.DeleteValue(key, "Text"), error::file_not_found);
    EXPECT_EQ(desktop.registry.OpenHandles(), 1u);
    reg.CloseKey(key);
    EXPECT_EQ(desktop.registry.OpenHandles(), 0u);
    EXPECT_EQ(desktop.registry.GetString(RegRoot::currentUser, "software\\norvale\\test", "text"), std::nullopt);
}

TEST_F(SimServicesTest, RegistryOpensWithoutCreateOnlyWhatExistsAndFailsWhereToldTo)
{
    IRegistry& reg = desktop.registry;
    RegKeyHandle key{};
    EXPECT_EQ(reg.OpenKey(RegRoot::currentUser, "Software\\Nothing", false, key), error::file_not_found);
    EXPECT_EQ(key, RegKeyHandle{});
    desktop.registry.FailOpen(RegRoot::currentUser, "Software\\Locked");
    EXPECT_EQ(reg.OpenKey(RegRoot::currentUser, "Software\\Locked", true, key), error::access_denied);
    EXPECT_FALSE(desktop.registry.KeyExists(RegRoot::currentUser, "Software\\Locked"));
    ASSERT_EQ(reg.OpenKey(RegRoot::currentUser, "\\Software\\A\\B", true, key), error::success);
    EXPECT_TRUE(desktop.registry.KeyExists(RegRoot::currentUser, "Software\\A")) << "parents are made too";
    desktop.registry.FailWrites(RegRoot::currentUser, "Software\\A\\B");
    EXPECT_EQ(reg.SetValue(key, "x", reg::dword, { 0, 0, 0, 0 }), error::access_denied);
    reg.CloseKey(key);
}

TEST_F(SimServicesTest, NamedMutexesAreFreeOwnedOrAbandoned)
{
    IProcess& proc = desktop.process;
    desktop.process.SetMutex("Other", sim::SimProcess::MutexState::ownedByOther);
    desktop.process.SetMutex("Left", sim::SimProcess::MutexState::abandoned);
    EXPECT_EQ(proc.WaitForSingleObject(proc.CreateNamedMutex("Fresh"), 0), wait::object_0);
    EXPECT_EQ(proc.WaitForSingleObject(proc.CreateNamedMutex("Other"), 0), wait::timeout);
    EXPECT_EQ(proc.WaitForSingleObject(proc.CreateNamedMutex("Left"), 0), wait::abandoned);
    EXPECT_TRUE(desktop.process.OwnsMutex("Left"));
    desktop.process.SetMutexCreationFails(true);
    EXPECT_EQ(proc.WaitForSingleObject(proc.CreateNamedMutex("Any"), 0), wait::failed);
}

TEST_F(SimServicesTest, LocalTimeRunsWithTheVirtualClockAcrossDays)
{
    desktop.process.SetLocalTime({ 2005, 2, 0, 28, 23, 59, 30, 0 });
    desktop.Advance(45'000);
    const SystemTime t = desktop.process.GetLocalTime();
    EXPECT_EQ(t.year, 2005);
    EXPECT_EQ(t.month, 3);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.minute, 0);
    EXPECT_EQ(t.second, 15);
    desktop.process.SetLocalTime({ 2004, 2, 0, 28, 23, 59, 59, 0 });
    desktop.Advance(1000);
    EXPECT_EQ(desktop.process.GetLocalTime().day, 29) << "2004 is a leap year";
    EXPECT_EQ(sim::SimProcess::ToSeconds({ 1601, 1, 0, 1, 0, 0, 0, 0 }), 0);
}

TEST_F(SimServicesTest, TheAnsiCodePageKeepsLatinOneAndReplacesTheRest)
{
    IProcess& proc = desktop.process;
    EXPECT_EQ(proc.WideToAnsi(L"caf\u00e9 \u20ac"), "caf\xe9 ?");
    EXPECT_EQ(proc.AnsiToWide("caf\xe9"), L"caf\u00e9");
}

TEST_F(SimServicesTest, TrayIconsAreAddedOnceAndLostWhenTheShellRestarts)
{
    testing_support::Recorder rec(desktop.windows);
    const Hwnd h = desktop.windows.Create(testing_support::TopLevel({ 0, 0, 10, 10 }), &rec);
    NotifyIconData icon{ h, 100, nif::message | nif::icon | nif::tip, wm::user + 1, {}, "Tip", {} };
    EXPECT_TRUE(desktop.shell.NotifyIcon(nim::add, icon));
    EXPECT_FALSE(desktop.shell.NotifyIcon(nim::add, icon));
    desktop.shell.TrayEvent(h, 100, wm::rbuttondown);
    ASSERT_EQ(rec.Only({ wm::user + 1 }).size(), 1u);
    EXPECT_EQ(rec.log.back().lParam, static_cast<LPARAM>(wm::rbuttondown));

    desktop.shell.RestartShell();
    EXPECT_TRUE(desktop.shell.TrayIcons().empty());
    EXPECT_EQ(rec.Only({ desktop.windows.RegisterMessage("TaskbarCreated") }).size(), 1u);
    EXPECT_FALSE(desktop.shell.NotifyIcon(nim::delete_, icon));
}

TEST_F(SimServicesTest, FakePlayersRecordCallsAndRaiseEvents)
{
    testing_support::Recorder rec(desktop.windows);
    const Hwnd parent = desktop.windows.Create(testing_support::TopLevel({ 0, 0, 100, 25 }), &rec);
    struct Sink final : IPlayerEvents
    {
        std::vector<std::wstring> got;
        void FSCommand(const std::wstring& c, const std::wstring& a) override { got.push_back(c + L":" + a); }
        void Progress(long p) override { got.push_back(L"progress " + std::to_wstring(p)); }
        void ReadyStateChange(long s) override { got.push_back(L"state " + std::to_wstring(s)); }
    } sink;
    std::unique_ptr<IPlayer> player;
    ASSERT_EQ(desktop.players.CreatePlayer(parent, { 0, 0, 90, 25 }, sink, player), hr::ok);
    player->SetMovie(L"a.swf");
    player->Play();
    player->SetVariable(L"v", L"3.2");
    std::wstring value;
    player->GetVariable(L"v", value);
    EXPECT_EQ(value, L"3.2");
    auto record = desktop.players.All().at(0);
    desktop.players.RaiseFSCommand(*record, L"getuid", L"uid");
    desktop.players.RaiseProgress(*record, 42);
    EXPECT_EQ(sink.got, (std::vector<std::wstring>{ L"getuid:uid", L"progress 42" }));
    EXPECT_EQ(desktop.windows.Parent(player->Window()), parent);
    player.reset();
    EXPECT_FALSE(record->alive);
    EXPECT_EQ(record->Count(L"Play"), 1);
    EXPECT_TRUE(desktop.windows.Children(parent).empty()) << "the control's window goes with it";

    desktop.players.SetCreateResult(hr::class_not_registered);
    EXPECT_EQ(desktop.players.CreatePlayer(parent, {}, sink, player), hr::class_not_registered);
    EXPECT_EQ(player, nullptr);
}
