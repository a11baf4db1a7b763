// The pointer and the keyboard on forms: windowless controls hit-tested by their
// form, the cursor table, and dialog keys.
#include "forms/controls.h"
#include "forms/form.h"
#include "support/forms_fixture.h"

using namespace forms;
using testing_support::FormsFixture;

namespace
{
    class StripTest : public FormsFixture
    {
      protected:
        StripTest()
        {
            strip.SetBorderStyle(BorderStyle::none);
            strip.SetBounds(100, 100, 703, 25);
            picture.SetBounds(0, 0, 445, 25);
            picture.SetEnabled(false);
            grab.SetBounds(693, 0, 10, 25);
            grab.SetEnabled(false);
            grab.SetCursor(cr::sizeAll);
            label.SetBounds(359, 5, 329, 20);
            label.OnClick = [this](Control&)
            {
                log.push_back("label click");
            };
            strip.OnMouseDown = [this](Control&, MouseButton b, int x, int y)
            {
                log.push_back(std::string(b == MouseButton::right ? "right" : "left") + " down " + std::to_string(x) + "," +
                              std::to_string(y));
            };
            strip.OnClick = [this](Control&)
            {
                log.push_back("form click");
            };
            strip.Show();
            desktop.windows.ProcessPending();
        }

        os::Point At(int x, int y) { return { strip.Left() + x, strip.Top() + y }; }

        Form strip{ app, "tickForm" };
        Image picture{ strip, "Image2" };
        Image grab{ strip, "GrabImage" };
        Label label{ strip, "ProgressLabel" };
        std::vector<std::string> log;
    };
} // namespace

TEST_F(StripTest, DisabledPicturesLetThePointerThroughToTheForm)
{
    desktop.windows.Click(At(20, 10), os::vk::rbutton);
    desktop.windows.Click(At(698, 3), os::vk::rbutton);
    EXPECT_EQ(log, (std::vector<std::string>{ "right down 20,10", "right down 698,3" }));
}

TEST_F(StripTest, AnEnabledLabelTakesThePressItselfAndClicksOnRelease)
{
    desktop.windows.Click(At(400, 10), os::vk::rbutton);
    EXPECT_TRUE(log.empty()) << "the label, not the form, got the right press";
    desktop.windows.Click(At(400, 10));
    EXPECT_EQ(log, (std::vector<std::string>{ "label click" }));
    log.clear();
    label.SetEnabled(false);
    desktop.windows.Click(At(400, 10));
    EXPECT_EQ(log, (std::vector<std::string>{ "left down 400,10", "form click" }));
}

TEST_F(StripTest, APressOnOneControlAndAReleaseElsewhereIsNoClick)
{
    desktop.windows.MouseDown(At(400, 10));
    desktop.windows.ProcessPending();
    desktop.windows.MouseUp(At(20, 10));
    desktop.windows.ProcessPending();
    EXPECT_TRUE(log.empty());
}

TEST_F(StripTest, TheCursorTableGivesEachControlItsPointer)
{
    app.SetCursor(32649, desktop.windows.LoadSystemCursor(os::idc::hand));
    label.SetCursor(32649);
    desktop.windows.MouseMove(At(400, 10));
    EXPECT_EQ(os::sim::SimWindows::CursorId(desktop.windows.CurrentCursor()), os::idc::hand);
    desktop.windows.MouseMove(At(20, 10));
    EXPECT_EQ(os::sim::SimWindows::CursorId(desktop.windows.CurrentCursor()), os::idc::arrow);
    label.SetCursor(cr::defaultCursor);
    desktop.windows.MouseMove(At(400, 10));
    EXPECT_EQ(os::sim::SimWindows::CursorId(desktop.windows.CurrentCursor()), os::idc::arrow);
    // A disabled control gives no pointer of its own: the form's shows.
    desktop.windows.MouseMove(At(698, 10));
    EXPECT_EQ(os::sim::SimWindows::CursorId(desktop.windows.CurrentCursor()), os::idc::arrow);
}

namespace
{
    class PromptTest : public FormsFixture
    {
      protected:
        PromptTest()
        {
            prompt.SetBorderStyle(BorderStyle::dialog);
            prompt.SetBounds(100, 100, 302, 147);
            memo.SetBounds(48, 8, 257, 49);
            memo.SetLines({ "A new version ", "is here." });
            memo.SetTabOrder(0);
            yes.SetBounds(48, 88, 75, 25);
            yes.SetCaption("&Yes");
            yes.SetDefault(true);
            yes.SetTabOrder(1);
            no.SetBounds(133, 88, 75, 25);
            no.SetCaption("&No");
            no.SetCancel(true);
            no.SetTabOrder(2);
            box.SetBounds(48, 59, 257, 17);
            box.SetCaption("Don't ask me this again");
            box.SetTabOrder(3);
            yes.OnClick = [this](Control&)
            {
                log.push_back("yes");
            };
            no.OnClick = [this](Control&)
            {
                log.push_back("no");
            };
            memo.OnEnter = [this](Control&)
            {
                log.push_back("memo entered");
                yes.SetFocus();
            };
            prompt.Show();
            desktop.windows.ProcessPending();
        }

        Form prompt{ app, "UpdateForm" };
        Memo memo{ prompt, "Memo1" };
        Button yes{ prompt, "YesButton" };
        Button no{ prompt, "NoButton" };
        CheckBox box{ prompt, "CheckBox1" };
        std::vector<std::string> log;
    };
} // namespace

TEST_F(PromptTest, EnterAndEscapeAnswerWithTheDefaultAndCancelButtons)
{
    box.SetFocus();
    desktop.windows.KeyPress(os::vk::return_);
    desktop.windows.KeyPress(os::vk::escape);
    EXPECT_EQ(log, (std::vector<std::string>{ "yes", "no" }));
}

TEST_F(PromptTest, TabbingIntoTheMemoHandsTheFocusOnToYes)
{
    box.SetFocus();
    desktop.windows.KeyPress(os::vk::tab); // wraps to the first in tab order, the memo
    EXPECT_EQ(log, (std::vector<std::string>{ "memo entered" }));
    EXPECT_TRUE(yes.Focused());
    desktop.windows.KeyPress(os::vk::tab);
    EXPECT_TRUE(no.Focused());
    EXPECT_EQ(desktop.windows.GetText(memo.Handle()), "A new version \r\nis here.");
}

TEST_F(PromptTest, AltAndTheUnderlinedLetterPressTheButtonOrToggleTheBox)
{
    desktop.windows.Post(yes.Handle(), os::wm::syskeydown, 'N', 0);
    desktop.windows.ProcessPending();
    EXPECT_EQ(log, (std::vector<std::string>{ "no" }));
    EXPECT_FALSE(box.Checked());
    desktop.windows.Click({ prompt.Left() + 3 + 50, prompt.Top() + 3 + 19 + 65 }); // on the check box
    EXPECT_TRUE(box.Checked());
}

TEST_F(PromptTest, AMemoShowsTheIBeamUnlessItIsGivenAPointerOfItsOwn)
{
    const os::Point inMemo = desktop.windows.ClientToScreen(memo.Handle(), { 5, 5 });
    desktop.windows.MouseMove(inMemo);
    EXPECT_EQ(os::sim::SimWindows::CursorId(desktop.windows.CurrentCursor()), os::idc::ibeam);
    memo.SetCursor(cr::arrow);
    desktop.windows.MouseMove({ inMemo.x + 1, inMemo.y });
    EXPECT_EQ(os::sim::SimWindows::CursorId(desktop.windows.CurrentCursor()), os::idc::arrow);
}
