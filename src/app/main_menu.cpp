// The strip's context menu and the three places that open it, and the preferences
// panel's place next to the strip: shown from the menu, following the strip's drags
// and snapping the strip into line with a panel the user has pulled away.
#include "app/main.h"
#include "app/prefs.h"
#include "forms/application.h"

namespace app
{
    void TtickForm::OpenPopup()
    {
        auto& windows = Os().windows;
        windows.SetForegroundWindow(Handle());
        const os::Point at = Os().system.GetCursorPos();
        PopupMenu1.SetPopupComponent(this);
        PopupMenu1.Popup(at.x, at.y);
        // Lets the menu's owner see a message after the menu, so that a second
        // opening from the notification area is not dismissed at once.
        windows.Post(Handle(), os::wm::null, 0, 0);
    }

    // Presses on the strip's own surface: the background and the disabled pictures.
    // The status line takes its own presses, the player controls are windows of
    // their own, and a press of the primary button starts the toolbar's drag.
    void TtickForm::FormMouseDown(forms::Control&, forms::MouseButton button, int, int)
    {
        if (button == forms::MouseButton::right)
            OpenPopup();
    }

    void TtickForm::TrayIconCallback(os::LPARAM lParam)
    {
        switch (static_cast<os::UINT>(lParam))
        {
        case os::wm::lbuttonup: Os().windows.SetForegroundWindow(Handle()); break;
        case os::wm::lbuttondblclk:
        case os::wm::rbuttondown: OpenPopup(); break;
        default: break;
        }
    }

    void TtickForm::SetNewsPreferences1Click()
    {
        if (!PrefsForm)
            return; // no player, no panel
        PositionPrefsForm(Left(), Top(), true);
        PrefsForm->Show(); // a hidden panel starts opening; a shown one only comes forward
    }

    void TtickForm::AddNewChannel(const std::string& info)
    {
        SetNewsPreferences1Click();
        if (PrefsForm)
            PrefsForm->SetChannelInfo(info);
    }

    void TtickForm::PositionPrefsForm(int left, int top, bool force)
    {
        TprefsForm* panel = PrefsForm;
        if (!panel || (!panel->Attached && !force))
            return;
        const os::Rect work = Os().system.GetWorkArea();
        // A panel that comes from a monitor of another DPI takes that of the strip's
        // on arriving, and with it another height: it is placed once more for that.
        for (int pass = 0; pass < 2; ++pass)
        {
            const int height = panel->Height();
            const int room = ClientHeight() + height;
            // Above gives way only when there is no room above; below gives way whenever
            // the panel would reach under the work area, even with no room above either.
            if (panel->Above && top - room < 0)
                panel->Above = false;
            if (top + room > work.bottom || panel->Above)
            {
                panel->SetBounds(left, top - height, panel->Width(), height);
                panel->Above = true;
            }
            else
            {
                panel->SetBounds(left, top + Height(), panel->Width(), height);
                panel->Above = false;
            }
            if (panel->Height() == height)
                break;
        }
        panel->Attached = true;
    }

    // Before the strip moves: a detached panel pulls the strip into line with itself,
    // while the user drags the strip. The program's own placement (docking, the
    // on-screen rule, a resize) is never pulled aside: a docked strip fills its band.
    void TtickForm::WMWindowPosChanging(os::WindowPos& pos)
    {
        TprefsForm* panel = PrefsForm;
        if (!_userMoving || !panel || !panel->Visible() || panel->Attached || (pos.flags & os::swp::nomove))
            return;
        const int inLine = panel->Above ? panel->Top() + panel->Height() : panel->Top() - Height();
        const int distance = Scale(SnapDistance);
        pos.y = Snap(pos.y, inLine, distance);
        if (pos.y == inLine)
            pos.x = Snap(pos.x, panel->Left(), distance);
    }

    // After the strip has moved: which side the panel is on, attachment when the two
    // are in line, and an attached panel follows while the user drags the strip. Moves
    // made by the program (docking, the on-screen rule) leave the panel where it is.
    void TtickForm::WMWindowPosChanged(const os::WindowPos& pos)
    {
        TprefsForm* panel = PrefsForm;
        if (!panel || !panel->Visible())
            return;
        panel->Above = 2 * panel->Top() + panel->Height() < 2 * Top();
        const int inLine = panel->Above ? panel->Top() + panel->Height() : panel->Top() - Height();
        if (panel->Left() == Left() && Top() == inLine)
            panel->Attached = true;
        // The primary button: the right one when the user has swapped them (the
        // key state is the physical button's).
        auto& system = Os().system;
        const int primary = system.GetSystemMetrics(os::sm::swapbutton) ? os::vk::rbutton : os::vk::lbutton;
        if (system.GetAsyncKeyState(primary) & 0x8000)
        {
            const bool moved = (pos.flags & os::swp::nomove) == 0;
            PositionPrefsForm(moved ? pos.x : Left(), moved ? pos.y : Top(), false);
        }
    }
} // namespace app
