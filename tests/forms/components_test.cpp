// Timers, popup menus, message boxes and the registry accessor.
#include "forms/form.h"
#include "forms/menu.h"
#include "forms/registry.h"
#include "forms/timer.h"
#include "support/forms_fixture.h"

using namespace forms;
using testing_support::FormsFixture;

namespace
{
    class ComponentsTest : public FormsFixture
    {
    };
} // namespace

TEST_F(ComponentsTest, ATimerTicksEveryIntervalWhileEnabledAndKeepsItsPeriodWhenEnabledAgain)
{
    Timer timer(app, "Timer1");
    std::vector<std::uint64_t> ticks;
    timer.SetEnabled(false);
    timer.SetInterval(1000);
    timer.SetOnTimer(
        [&](Timer& t)
        {
            ticks.push_back(desktop.Now());
            t.SetTag(t.Tag() + 1);
        });
    desktop.Advance(1500);
    EXPECT_TRUE(ticks.empty());
    timer.SetEnabled(true); // starts at 1500
    desktop.Advance(700);
    timer.SetEnabled(true); // already running: the period goes on
    desktop.Advance(1400);
    EXPECT_EQ(ticks, (std::vector<std::uint64_t>{ 2500, 3500 }));
    EXPECT_EQ(timer.Tag(), 2);
    timer.SetEnabled(false);
    desktop.Advance(5000);
    EXPECT_EQ(ticks.size(), 2u);
}

TEST_F(ComponentsTest, AOneShotTimerStoppedInItsHandlerDoesNotFireAgain)
{
    Timer timer(app, "Timer2");
    timer.SetInterval(10);
    int fired = 0;
    timer.SetOnTimer(
        [&](Timer& t)
        {
            t.SetEnabled(false);
            ++fired;
        });
    desktop.Advance(200);
    EXPECT_EQ(fired, 1);
    timer.SetEnabled(true);
    desktop.Advance(200);
    EXPECT_EQ(fired, 2);
}

TEST_F(ComponentsTest, ADestroyedTimerNeverTicks)
{
    int fired = 0;
    {
        Timer timer(app, "Gone");
        timer.SetInterval(100);
        timer.SetOnTimer([&](Timer&) { ++fired; });
    }
    desktop.Advance(1000);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(desktop.windows.TimerCount(), 0u);
}

namespace
{
    // The docking submenu of a strip's context menu.
    struct DockMenu
    {
        explicit DockMenu(Application& app)
            : menu(app, "PopupMenu1"), reload(app, "Reload1", "&Reload"), docking(app, "Docking1", "&Docking"),
              undocked(app, "Undocke1", "Undocked"), top(app, "DockTop1", "Top"), bottom(app, "DockBottom1", "Bottom"),
              separator(app, "N1", "-"), exit(app, "Exit1", "E&xit")
        {
            menu.Items().Add(reload);
            menu.Items().Add(docking);
            menu.Items().Add(separator);
            menu.Items().Add(exit);
            for (MenuItem* item : { &undocked, &top, &bottom })
            {
                docking.Add(*item);
                item->SetRadioItem(true);
                item->SetGroupIndex(1);
                item->SetAutoCheck(true);
                item->OnClick = [this](MenuItem& sender)
                {
                    clicked.push_back(sender.Name());
                };
            }
            undocked.SetChecked(true);
            reload.OnClick = [this](MenuItem& sender)
            {
                clicked.push_back(sender.Name());
            };
        }
        PopupMenu menu;
        MenuItem reload, docking, undocked, top, bottom, separator, exit;
        std::vector<std::string> clicked;
    };
} // namespace

TEST_F(ComponentsTest, ThePopupChoiceRunsItsHandlerAfterTheMenuReturns)
{
    DockMenu m(app);
    desktop.windows.onPopupMenu = [](const os::sim::PopupMenuCall& call)
    {
        EXPECT_EQ(call.at, (os::Point{ 300, 400 }));
        EXPECT_EQ(call.items.size(), 4u);
        EXPECT_TRUE(call.items[2].separator);
        EXPECT_TRUE(call.Find("Undocked")->checked);
        EXPECT_TRUE(call.Find("Undocked")->radio);
        return call.IdOf("&Reload");
    };
    m.menu.Popup(300, 400);
    EXPECT_TRUE(m.clicked.empty()) << "the handler runs from the message loop, after Popup";
    desktop.windows.ProcessPending();
    EXPECT_EQ(m.clicked, (std::vector<std::string>{ "Reload1" }));
    EXPECT_EQ(desktop.windows.LiveMenus(), 0u) << "the menu's handles are released";
}

TEST_F(ComponentsTest, RadioItemsUncheckTheirGroupAndTheCheckedOneUnchecksItself)
{
    DockMenu m(app);
    m.top.Click();
    EXPECT_TRUE(m.top.Checked());
    EXPECT_FALSE(m.undocked.Checked());
    EXPECT_FALSE(m.bottom.Checked());
    m.top.Click(); // choosing the checked item toggles it off; no other comes on
    EXPECT_FALSE(m.top.Checked());
    EXPECT_FALSE(m.undocked.Checked());
    m.bottom.SetChecked(true);
    m.undocked.SetChecked(true);
    EXPECT_FALSE(m.bottom.Checked());
    EXPECT_EQ(m.clicked, (std::vector<std::string>{ "DockTop1", "DockTop1" }));
}

TEST_F(ComponentsTest, ADismissedMenuOrADisabledItemRunsNothing)
{
    DockMenu m(app);
    desktop.windows.onPopupMenu = [](const os::sim::PopupMenuCall&)
    {
        return 0u;
    };
    m.menu.Popup(0, 0);
    m.reload.SetEnabled(false);
    desktop.windows.onPopupMenu = [](const os::sim::PopupMenuCall& call)
    {
        return call.IdOf("&Reload");
    };
    m.menu.Popup(0, 0);
    desktop.windows.ProcessPending();
    EXPECT_TRUE(m.clicked.empty());
}

TEST_F(ComponentsTest, AModalBoxLetsTimersFireWhileTheUserTakesTime)
{
    Timer timer(app, "Timer1");
    timer.SetInterval(1000);
    int ticks = 0;
    timer.SetOnTimer([&](Timer&) { ++ticks; });
    desktop.windows.onMessageBox = [&](const os::sim::MessageBoxCall& box)
    {
        EXPECT_EQ(box.caption, "Flash Detection");
        desktop.Advance(4200);
        return os::id::no;
    };
    EXPECT_EQ(app.MessageBox("text", "Flash Detection", os::mb::yesno | os::mb::iconquestion), os::id::no);
    EXPECT_EQ(ticks, 4);
}

TEST_F(ComponentsTest, TopmostFormsStepBackForAModalBoxAndReturn)
{
    Form onTop(app, "Strip");
    onTop.SetFormStyle(FormStyle::stayOnTop);
    onTop.Show();
    ASSERT_TRUE(desktop.windows.IsTopmost(onTop.Handle()));
    app.NormalizeTopMosts();
    EXPECT_FALSE(desktop.windows.IsTopmost(onTop.Handle()));
    app.RestoreTopMosts();
    EXPECT_TRUE(desktop.windows.IsTopmost(onTop.Handle()));
}

TEST_F(ComponentsTest, TheRegistryAccessorReadsByTypeAndAlwaysClosesItsKey)
{
    const std::string key = "Software\\Norvale\\Vodazovovarar";
    desktop.registry.PutDword(os::RegRoot::currentUser, key, "LaunchOnStartup", 1);
    desktop.registry.PutString(os::RegRoot::currentUser, key, "dontaskupdate", "1");
    {
        Registry reg(desktop.registry);
        ASSERT_TRUE(reg.OpenKey("\\" + key, false));
        EXPECT_EQ(reg.ReadString("LaunchOnStartup"), std::nullopt) << "a number is no string";
        EXPECT_EQ(reg.ReadInteger("dontaskupdate"), std::nullopt) << "a string is no number";
        EXPECT_TRUE(reg.WriteString("UID", "050314092653_0_417"));
        EXPECT_EQ(reg.ReadString("UID"), "050314092653_0_417");
        EXPECT_TRUE(reg.WriteInteger("dontaskupdate", -2));
        EXPECT_EQ(reg.ReadInteger("dontaskupdate"), -2);
        EXPECT_FALSE(reg.OpenKey("Software\\Missing", false));
        EXPECT_FALSE(reg.IsOpen());
        EXPECT_FALSE(reg.WriteString("x", "y")) << "nothing is written without an open key";
        ASSERT_TRUE(reg.OpenKey(key, true));
    }
    EXPECT_EQ(desktop.registry.OpenHandles(), 0u);
    EXPECT_EQ(desktop.registry.GetString(os::RegRoot::currentUser, key, "uid"), "050314092653_0_417");
}
