// Reading the strip: the ticker movie names the headline at its reading place to
// the host, which gives it to screen readers (sparingly, and only with the
// keyboard) and to the notification icon's tip; the keyboard steps, opens,
// pauses and gives the focus back; the pause is kept; Windows' animations and
// high-contrast theme reach the movie; and nothing moves while nothing of the
// strip can be seen.
#include "app/main.h"
#include "movies_fixture.h"

#include <functional>
#include <set>

using movies_test::MoviesFixture;

namespace
{
    const char* const Council = "City council votes on night buses";
    const char* const Label = "Top News";

    class ReadingTest : public MoviesFixture
    {
      protected:
        os::IAccessibleContent& Reader()
        {
            os::IAccessibleContent* content = s.desktop.windows.AccessibleOf(s.tick->Handle());
            EXPECT_NE(content, nullptr);
            EXPECT_EQ(s.desktop.windows.AccessibleOf(s.MovieWindow()), content) << "the ticker's own window answers too";
            static struct Nothing final : os::IAccessibleContent
            {
                std::wstring AccessibleName() override { return {}; }
                std::wstring AccessibleValue() override { return {}; }
                std::wstring AccessibleDescription() override { return {}; }
                long AccessibleRole() override { return 0; }
                std::wstring DefaultActionName() override { return {}; }
                bool DoDefaultAction() override { return false; }
            } nothing;
            return content ? *content : nothing;
        }
        std::string Name() { return player::movie::WideToUtf8(Reader().AccessibleName()); }
        std::string Tip()
        {
            const auto icon = s.desktop.shell.TrayIcon(s.tick->Handle(), app::TrayIconId);
            return icon ? player::movie::WideToUtf8(icon->wideTip) : std::string{};
        }
        // Where the reading place is: right of the channel's label.
        int Lead()
        {
            const auto label = Drawn(Label);
            EXPECT_TRUE(label);
            return label ? label->right + 16 : 0;
        }
        // The texts drawn, the label's left out.
        std::vector<std::string> Items()
        {
            std::vector<std::string> out;
            for (const std::string& t : Texts())
                if (t != Label)
                    out.push_back(t);
            return out;
        }
        // Another program's window, in front of the strip.
        os::Hwnd OtherProgram()
        {
            os::WindowParams params;
            params.className = "OtherProgram";
            params.style = os::ws::popup | os::ws::visible;
            params.bounds = os::Rect::FromBounds(300, 300, 200, 100);
            const os::Hwnd other = s.desktop.windows.Create(params, nullptr);
            s.desktop.windows.SetForegroundWindow(other);
            return other;
        }
        std::vector<os::sim::SimWindows::WinEvent> NameChanges()
        {
            std::vector<os::sim::SimWindows::WinEvent> out;
            for (const auto& e : s.desktop.windows.WinEvents())
                if (e.event == os::winevent::object_namechange)
                    out.push_back(e);
            return out;
        }
        bool Moves(std::uint64_t ms = 1000)
        {
            const auto before = Items();
            const auto at = before.empty() ? std::nullopt : Drawn(before.front());
            s.Advance(ms);
            const auto after = before.empty() ? std::nullopt : Drawn(before.front());
            return at && (!after || after->left != at->left);
        }
    };
} // namespace

TEST_F(ReadingTest, TheHeadlineAtTheReadingPlaceIsNamedToTheTipAndToScreenReadersOnlyWithTheKeyboard)
{
    StartStrip();
    OtherProgram();
    s.desktop.windows.ClearWinEvents();
    std::set<std::string> names;
    for (int i = 0; i < 40; ++i)
    {
        s.Advance(500);
        const std::string name = Name();
        const auto at = Drawn(name);
        ASSERT_TRUE(at) << name << ": the name is a text on the stage";
        // Looked at every 200 ms (12 pixels) while the loop moves: the item over the
        // reading place, or the next one while the place is in the 40-pixel gap.
        EXPECT_LE(at->left, Lead() + 40 + 13) << name;
        EXPECT_GE(at->right, Lead() - 13) << name;
        EXPECT_EQ(Tip(), name) << "the icon's tip follows";
        names.insert(name);
    }
    EXPECT_GE(names.size(), 3u) << "20 s of scrolling pass several items";
    EXPECT_TRUE(NameChanges().empty()) << "no screen reader is told while another window has the keyboard";

    // With the keyboard (a click left of the headlines, on the label), changes are
    // told, but at most once in three seconds.
    const os::Point label = s.desktop.windows.ClientToScreen(s.MovieWindow(), { 20, 10 });
    s.desktop.windows.MouseMove(label);
    s.desktop.windows.Click(label);
    s.PointAway();
    ASSERT_EQ(s.desktop.windows.GetFocus(), s.MovieWindow());
    EXPECT_TRUE(Moves()) << "a click alone does not hold the strip still";
    s.Advance(30000);
    const auto told = NameChanges();
    ASSERT_GE(told.size(), 5u);
    for (std::size_t i = 0; i < told.size(); ++i)
    {
        EXPECT_EQ(told[i].hwnd, s.MovieWindow());
        EXPECT_EQ(told[i].idObject, os::objid::client);
        if (i > 0)
        {
            EXPECT_GE(told[i].at - told[i - 1].at, app::AnnounceIntervalMs);
        }
    }
    EXPECT_EQ(player::movie::WideToUtf8(Reader().AccessibleDescription()), "News ticker");
    EXPECT_EQ(Reader().AccessibleRole(), os::role::animation);
}

TEST_F(ReadingTest, TheKeyboardStepsOpensPausesAndGivesTheFocusBack)
{
    StartStrip();
    const os::Hwnd other = OtherProgram();
    s.tick->ReadHeadlines1.Click();
    ASSERT_EQ(s.desktop.windows.GetFocus(), s.MovieWindow());
    const std::string first = Name();
    EXPECT_FALSE(Moves(2000)) << "the strip holds still while it is read";

    auto& windows = s.desktop.windows;
    windows.ClearWinEvents();
    windows.KeyPress(os::vk::right);
    const std::string second = Name();
    EXPECT_NE(second, first);
    ASSERT_TRUE(Drawn(second));
    EXPECT_EQ(Drawn(second)->left, Lead()) << "the next item stands at the reading place";
    EXPECT_EQ(NameChanges().size(), 1u) << "a step is told at once";
    windows.KeyPress(os::vk::right);
    EXPECT_EQ(NameChanges().size(), 2u) << "each step, however quick";
    windows.KeyPress(os::vk::left);
    windows.KeyPress(os::vk::left);
    EXPECT_EQ(Name(), first);

    for (int i = 0; i < 10 && Name() != Council; ++i)
        windows.KeyPress(os::vk::right);
    ASSERT_EQ(Name(), Council);
    EXPECT_EQ(player::movie::WideToUtf8(Reader().AccessibleValue()), "http://news.example/buses");
    EXPECT_EQ(player::movie::WideToUtf8(Reader().DefaultActionName()), "Open");
    windows.KeyPress(os::vk::return_);
    s.Advance(1);
    ASSERT_EQ(s.Texts("shell").size(), 1u);
    EXPECT_EQ(s.Texts("shell")[0].rfind("open http://news.example/buses?tid=", 0), 0u) << s.Texts("shell")[0];
    EXPECT_TRUE(Reader().DoDefaultAction()) << "a screen reader's default action opens it the same way";
    s.Advance(1);
    ASSERT_EQ(s.Texts("shell").size(), 2u);
    EXPECT_EQ(s.Texts("shell")[1], s.Texts("shell")[0]);

    windows.KeyPress(os::vk::space);
    EXPECT_TRUE(s.tick->PauseScrolling1.Checked());
    windows.KeyPress(os::vk::space);
    EXPECT_FALSE(s.tick->PauseScrolling1.Checked());

    windows.KeyPress(os::vk::escape);
    EXPECT_EQ(windows.GetForegroundWindow(), other) << "the keyboard goes back where it came from";
    EXPECT_TRUE(Moves()) << "and the strip scrolls on";
}

TEST_F(ReadingTest, PauseScrollingStopsEveryFrameAndIsKeptAcrossARestart)
{
    StartStrip();
    s.tick->PauseScrolling1.Click();
    EXPECT_TRUE(s.tick->PauseScrolling1.Checked());
    s.Advance(20);
    const int painted = s.desktop.windows.PaintCount(s.MovieWindow());
    s.Advance(3000);
    EXPECT_EQ(s.desktop.windows.PaintCount(s.MovieWindow()), painted) << "no frame is drawn";
    EXPECT_FALSE(Moves(3000));
    EXPECT_EQ(s.desktop.registry.GetString(os::RegRoot::currentUser, player::SettingsKey, "PauseScrolling"), "yes");

    s.prefs.reset();
    s.update.reset();
    s.tick.reset();
    s.StartStrip(false);
    s.Advance(1000);
    EXPECT_TRUE(s.tick->PauseScrolling1.Checked());
    ASSERT_FALSE(Items().empty()) << "the headlines are up";
    EXPECT_FALSE(Moves(3000));
    s.tick->PauseScrolling1.Click();
    EXPECT_TRUE(Moves());
    EXPECT_EQ(s.desktop.registry.GetString(os::RegRoot::currentUser, player::SettingsKey, "PauseScrolling"), "no");
}

TEST_F(ReadingTest, WithoutAnimationsOneItemShowsAtATimeAndTheLoopComesBack)
{
    StartStrip();
    s.desktop.SetClientAreaAnimation(false);
    s.Advance(100);
    auto items = Items();
    ASSERT_EQ(items.size(), 1u);
    const std::string shown = items[0];
    EXPECT_EQ(Drawn(shown)->left, Lead());
    EXPECT_EQ(Name(), shown);
    const int painted = s.desktop.windows.PaintCount(s.MovieWindow());
    s.Advance(4000);
    EXPECT_LE(s.desktop.windows.PaintCount(s.MovieWindow()), painted + 1) << "no frames between two items";
    s.Advance(1100);
    items = Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_NE(items[0], shown) << "the next one after five seconds";
    EXPECT_EQ(Name(), items[0]);

    s.desktop.SetClientAreaAnimation(true);
    EXPECT_EQ(Drawn(items[0])->left, Lead()) << "the loop comes back at the item shown";
    EXPECT_GT(Items().size(), 1u);
    EXPECT_TRUE(Moves());
}

TEST_F(ReadingTest, AHighContrastThemeReachesTheMovieAndTheStripsOwnPieces)
{
    StartStrip();
    s.desktop.SetHighContrast(true);
    auto colourOf = [&](const std::string& text)
    {
        for (const auto& op : s.Paint())
            if (op.kind == os::sim::PaintOp::Kind::widetext && player::movie::WideToUtf8(op.wide) == text)
                return op.color;
        return os::Color{ 0x123456 };
    };
    EXPECT_EQ(colourOf("Fly Norvale Air from 9 pounds"), os::Rgb(255, 255, 0)) << "the sponsor's link in the theme's link colour";
    const auto& ops = s.Paint();
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops[1].color, os::Rgb(0, 0, 0)) << "the stage's ground is the theme's window colour";
    EXPECT_EQ(colourOf("Harbour bridge reopens after repairs"), os::Rgb(255, 255, 255));
    EXPECT_EQ(colourOf(Label), os::Rgb(0, 0, 0)) << "the label: the highlight's text on the highlight";
    EXPECT_EQ(s.tick->Color(), os::Rgb(0, 0, 0));
    EXPECT_EQ(s.tick->ProgressLabel.FontColor(), os::Rgb(255, 255, 255));

    s.desktop.SetHighContrast(false);
    EXPECT_EQ(s.Paint()[1].color, os::Rgb(0x14, 0x23, 0x3A)) << "our own colours again";
    EXPECT_EQ(s.tick->Color(), os::Rgb(66, 66, 66));
}

TEST_F(ReadingTest, NothingMovesWhileLockedCoveredOrWithTheDisplayOffAndScrollingGoesOnFromThere)
{
    StartStrip();
    struct Case
    {
        const char* what;
        std::function<void(bool)> hide;
    };
    const Case cases[] = {
        { "locked",
          [&](bool on)
          {
              s.desktop.LockSession(on);
          } },
        { "display off",
          [&](bool on)
          {
              s.desktop.SetDisplayState(on ? os::displaystate::off : os::displaystate::on);
          } },
        { "full screen",
          [&](bool on)
          {
              s.desktop.shell.SetFullScreenApp(on);
              s.desktop.windows.ProcessPending();
          } },
    };
    for (const Case& c : cases)
    {
        const std::string item = Items().front();
        c.hide(true);
        const auto at = Drawn(item);
        ASSERT_TRUE(at) << c.what;
        const std::size_t timers = s.desktop.windows.TimerCount();
        const int painted = s.desktop.windows.PaintCount(s.MovieWindow());
        s.Advance(3000);
        EXPECT_EQ(s.desktop.windows.PaintCount(s.MovieWindow()), painted) << c.what << ": no frame";
        EXPECT_LE(s.desktop.windows.TimerCount(), timers) << c.what;
        c.hide(false);
        s.Advance(20);
        ASSERT_TRUE(Drawn(item)) << c.what;
        EXPECT_NEAR(Drawn(item)->left, at->left, 3) << c.what << ": on from where it stood";
        EXPECT_TRUE(Moves()) << c.what;
    }

    // Wholly under another window the stage stops its frames within a second and
    // goes on within a second of its uncovering, from where it stood: without a
    // compositor no paint comes, with one (and under Wine) paints come but the stage
    // asks whether it is covered. A window it shows through, or past, stops nothing.
    os::WindowParams params;
    params.className = "Cover";
    params.style = os::ws::popup | os::ws::visible;
    params.exStyle = os::ws_ex::topmost;
    params.bounds = s.desktop.windows.GetWindowRect(s.MovieWindow());
    for (const bool compositing : { true, false })
    {
        s.desktop.windows.SetCompositing(compositing);
        const std::string item = Items().at(1);
        const std::size_t timers = s.desktop.windows.TimerCount();
        const os::Hwnd cover = s.desktop.windows.Create(params, nullptr);
        s.Advance(1000);
        const auto stood = Drawn(item);
        ASSERT_TRUE(stood);
        const int painted = s.desktop.windows.PaintCount(s.MovieWindow());
        s.Advance(3000);
        EXPECT_EQ(s.desktop.windows.PaintCount(s.MovieWindow()), painted) << compositing;
        EXPECT_LE(s.desktop.windows.TimerCount(), timers) << compositing;
        s.desktop.windows.Destroy(cover);
        int waited = 0;
        while (waited <= 1000 && Drawn(item) && Drawn(item)->left == stood->left)
        {
            s.Advance(10);
            waited += 10;
        }
        ASSERT_TRUE(Drawn(item)) << compositing;
        EXPECT_LE(waited, 1000) << compositing << ": moving again within a second";
        EXPECT_NEAR(Drawn(item)->left, stood->left - 1, 2) << compositing << ": on from where it stood";
        EXPECT_TRUE(Moves()) << compositing;
    }
    for (const bool layered : { true, false })
    {
        os::WindowParams through = params;
        if (layered)
            through.exStyle |= os::ws_ex::layered;
        else
            through.bounds.right -= 1; // a column of the stage shows
        const os::Hwnd cover = s.desktop.windows.Create(through, nullptr);
        s.Advance(1500);
        EXPECT_TRUE(Moves()) << layered;
        s.desktop.windows.Destroy(cover);
    }
}
