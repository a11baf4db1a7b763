// Forms: the window made on demand, bounds and size limits, showing, closing,
// painting, and errors that escape a handler.
#include "forms/controls.h"
#include "forms/form.h"
#include "support/forms_fixture.h"

using namespace forms;
using testing_support::FormsFixture;

namespace
{
    class Strip : public Form
    {
      public:
        explicit Strip(Application& app) : Form(app, "Strip")
        {
            SetBorderStyle(BorderStyle::none);
            SetBorderIcons(false, false, false);
            SetColor(os::Rgb(66, 66, 66));
            SetBounds(100, 100, 703, 32);
            OnResize = [this](Form&)
            {
                ++resizes;
            };
        }
        ~Strip() override { DestroyHandle(); }

        os::LRESULT WndProc(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam) override
        {
            seen.push_back(msg);
            if (external)
                external->push_back(msg);
            if (msg == os::wm::create)
                createdWithHandle = HandleAllocated();
            return Form::WndProc(msg, wParam, lParam);
        }

        int resizes = 0;
        bool createdWithHandle = false;
        std::vector<os::UINT> seen;
        std::vector<os::UINT>* external = nullptr;
    };

    class FormTest : public FormsFixture
    {
    };
} // namespace

TEST_F(FormTest, TheWindowIsMadeOnFirstUseWithItsControlsAndStyles)
{
    Strip strip(app);
    Button button(strip, "Button1");
    button.SetBounds(5, 5, 75, 25);
    EXPECT_FALSE(strip.HandleAllocated());
    const os::Hwnd h = strip.Handle();
    EXPECT_TRUE(strip.createdWithHandle) << "WM_CREATE reaches the derived form with its handle known";
    EXPECT_TRUE(button.HandleAllocated());
    EXPECT_EQ(desktop.windows.Parent(button.Handle()), h);
    EXPECT_EQ(desktop.windows.Owner(h), app.Handle()) << "every form is owned by the application window";
    const os::DWORD style = desktop.windows.GetStyle(h);
    EXPECT_TRUE(style & os::ws::popup);
    EXPECT_FALSE(style & (os::ws::caption | os::ws::sysmenu | os::ws::thickframe));
    EXPECT_EQ(desktop.windows.GetWindowRect(h), os::Rect::FromBounds(100, 100, 703, 32));
    EXPECT_FALSE(desktop.windows.IsWindowVisible(h)) << "a form shows only when told to";
}

TEST_F(FormTest, SizeLimitsApplyAtOnceAndEveryResizeRunsTheResizeHandler)
{
    Strip strip(app);
    strip.Handle();
    const int before = strip.resizes;
    strip.SetConstraints({ 656, 25, 0, 25 });
    EXPECT_EQ(strip.Height(), 25);
    EXPECT_EQ(desktop.windows.GetWindowRect(strip.Handle()).Height(), 25);
    EXPECT_EQ(strip.resizes, before + 1);
    strip.SetBounds(100, 100, 500, 40);
    EXPECT_EQ(strip.Width(), 656);
    EXPECT_EQ(strip.Height(), 25);
    strip.SetBounds(300, 100, 656, 25); // a move alone is no resize
    EXPECT_EQ(strip.resizes, before + 2);
    EXPECT_EQ(strip.Left(), 300);
}

TEST_F(FormTest, BoundsBeforeTheWindowExistsAreKeptAndResizeStillRuns)
{
    Strip strip(app);
    strip.SetConstraints({ 0, 25, 0, 25 });
    EXPECT_EQ(strip.Height(), 25);
    EXPECT_EQ(strip.resizes, 1);
    EXPECT_FALSE(strip.HandleAllocated());
    EXPECT_EQ(strip.ClientWidth(), 703);
}

TEST_F(FormTest, ClientSizeOfADialogLeavesRoomForItsFrame)
{
    Form dialog(app, "Prompt");
    dialog.SetBorderStyle(BorderStyle::dialog);
    dialog.SetBorderIcons(false, false, false);
    dialog.SetClientWidth(296);
    dialog.SetClientHeight(118);
    EXPECT_GT(dialog.Width(), 296);
    dialog.Handle();
    EXPECT_EQ(dialog.ClientWidth(), 296);
    EXPECT_EQ(dialog.ClientHeight(), 118);
}

TEST_F(FormTest, ShowCentresOnTheScreenOnceAndHideHides)
{
    Form box(app, "About");
    box.SetBorderStyle(BorderStyle::none);
    box.SetBounds(0, 0, 320, 110);
    box.SetPosition(FormPosition::screenCenter);
    int shows = 0;
    box.OnShow = [&](Form&)
    {
        ++shows;
    };
    box.Show();
    EXPECT_TRUE(desktop.windows.IsWindowVisible(box.Handle()));
    EXPECT_EQ(box.Left(), (1280 - 320) / 2);
    EXPECT_EQ(box.Top(), (1024 - 110) / 2);
    box.Hide();
    EXPECT_FALSE(desktop.windows.IsWindowVisible(box.Handle()));
    box.SetBounds(5, 5, 320, 110);
    box.Show();
    EXPECT_EQ(box.Left(), 5) << "only the first showing centres";
    EXPECT_EQ(shows, 2);
}

TEST_F(FormTest, ClosingTheMainFormEndsTheProgramAndOthersHide)
{
    Strip main(app);
    Form other(app, "Other");
    EXPECT_EQ(app.MainForm(), &main);
    other.Show();
    desktop.windows.Post(other.Handle(), os::wm::close, 0, 0);
    desktop.windows.ProcessPending();
    EXPECT_FALSE(desktop.windows.IsWindowVisible(other.Handle()));
    EXPECT_TRUE(desktop.windows.IsWindow(other.Handle())) << "a closed form is hidden, not destroyed";
    EXPECT_FALSE(app.Terminated());

    bool closed = false;
    main.OnClose = [&](Form&, CloseAction&)
    {
        closed = true;
    };
    main.Show();
    desktop.windows.Post(main.Handle(), os::wm::close, 0, 0);
    desktop.windows.ProcessPending();
    EXPECT_TRUE(closed);
    EXPECT_TRUE(app.Terminated());
    EXPECT_TRUE(desktop.windows.QuitRetrieved());
}

TEST_F(FormTest, PaintDrawsTheBackgroundThenVisibleControlsInOrder)
{
    Strip strip(app);
    Image picture(strip, "Image2");
    picture.SetAutoSize(true);
    picture.SetPicture({ 445, 25, std::vector<std::uint32_t>(445 * 25), "loading", {} });
    Image hidden(strip, "OopsImage");
    hidden.SetPicture({ 445, 25, std::vector<std::uint32_t>(445 * 25), "failure", {} });
    hidden.Hide();
    Label label(strip, "ProgressLabel");
    label.SetBounds(364, 5, 329, 25);
    label.SetTransparent(true);
    label.SetAlignment(Alignment::right);
    label.SetCaption("Connecting...");
    strip.SetConstraints({ 0, 25, 0, 25 });
    strip.Show();
    desktop.windows.ProcessPending();
    const auto& ops = desktop.windows.LastPaint(strip.Handle());
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].kind, os::sim::PaintOp::Kind::fill);
    EXPECT_EQ(ops[0].color, os::Rgb(66, 66, 66));
    EXPECT_EQ(ops[0].rect, (os::Rect{ 0, 0, 703, 25 }));
    EXPECT_EQ(ops[1].text, "loading");
    EXPECT_EQ(ops[1].rect, os::Rect::FromBounds(0, 0, 445, 25));
    EXPECT_EQ(ops[2].text, "Connecting...");
    EXPECT_TRUE(ops[2].flags & os::dt::right);

    label.SetCaption("Loading 42%");
    EXPECT_TRUE(desktop.windows.IsInvalid(strip.Handle()));
    label.Repaint();
    EXPECT_FALSE(desktop.windows.IsInvalid(strip.Handle()));
    EXPECT_EQ(desktop.windows.LastPaint(strip.Handle()).back().text, "Loading 42%");
}

TEST_F(FormTest, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn)
{
    app.SetTitle("Norvale Desktop Ticker");
    Strip strip(app);
    strip.Handle();
    strip.OnResize = [](Form&)
    {
        throw std::runtime_error("Access violation");
    };
    strip.SetBounds(0, 0, 800, 25);
    ASSERT_EQ(desktop.windows.MessageBoxes().size(), 1u);
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].text, "Access violation");
    EXPECT_EQ(desktop.windows.MessageBoxes()[0].caption, "Norvale Desktop Ticker");
    EXPECT_EQ(strip.Width(), 800);
}

TEST_F(FormTest, TheDerivedFormStillHandlesWmDestroyWhenItGoesAway)
{
    std::vector<os::UINT> log;
    {
        Strip strip(app);
        strip.external = &log;
        strip.Handle();
    }
    EXPECT_NE(std::find(log.begin(), log.end(), os::wm::destroy), log.end());
    EXPECT_TRUE(desktop.windows.TopLevelWindows().size() == 1u) << "only the application window is left";
}
