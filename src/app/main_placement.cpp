// Where the strip may stand, how its children are laid out when it is resized, the
// docking commands with what the strip does when the toolbar reports an edge, and
// the always-on-top command.
#include "app/main.h"
#include "app/placement.h"
#include "app/prefs.h"
#include "forms/application.h"
#include "forms/picture.h"

#include <algorithm>

namespace app
{
    void TtickForm::Resize()
    {
        TAppBar::Resize();
        if (_created)
            FormResize();
    }

    void TtickForm::FormResize()
    {
        GrabImage.SetLeft(ClientWidth() - Scale(GrabWidth));
        ProgressLabel.SetLeft(GrabImage.Left() - ProgressLabel.Width() - Scale(5));
        // While a load is in progress the parked ticker control stays put.
        if (!Timer1.Enabled())
        {
            if (Flash && SponsorFlash && Os().internet.GetConnectedState())
            {
                Flash->SetWidth(ClientWidth());
                Flash->SetBounds(0, 0, ClientWidth() - Scale(GrabWidth) - SponsorFlash->Width(), ClientHeight());
                Flash->SetWidth(ClientWidth());
            }
            HoldStripHeight();
            Timer2.SetEnabled(true); // lays the two controls out 10 ms later
        }
        // A visible panel goes back into its slot, also when the user had pulled it away.
        if (PrefsForm && PrefsForm->Visible())
            PositionPrefsForm(Left(), Top(), true);
    }

    // The strip's height constraints, the minimum first: the height stays at TickerHeight.
    void TtickForm::HoldStripHeight()
    {
        forms::SizeConstraints limits = Constraints();
        limits.minHeight = Scale(TickerHeight);
        SetConstraints(limits);
        limits.maxHeight = Scale(TickerHeight);
        SetConstraints(limits);
    }

    // 656 at the strip's scale, but never wider than the primary work area: at a
    // high DPI on a small desktop the scaled width would pass the screen's edge.
    int TtickForm::MinimumStripWidth()
    {
        return std::min(Scale(656), Os().system.GetWorkArea().Width());
    }

    void TtickForm::ApplyStripMetrics()
    {
        const int height = Scale(TickerHeight);
        SetHorzDockSize(height);
        SetMinHorzDockSize(height);
        HoldStripHeight();
        SetVertDockSize(height);
        SetHorzSizeInc(Scale(5));
        SetMinHeight(height);
        SetMaxHeight(height);
    }

    void TtickForm::LayoutForScale()
    {
        _layoutDpi = Dpi();
        Image2.SetBounds(0, 0, Scale(445), Scale(TickerHeight));
        OopsImage.SetBounds(0, 0, Scale(445), Scale(TickerHeight));
        GrabImage.SetBounds(ClientWidth() - Scale(GrabWidth), 0, Scale(GrabWidth), Scale(TickerHeight));
        LoadStripPictures();
        ProgressLabel.SetBounds(GrabImage.Left() - Scale(329) - Scale(5), Scale(_statusTop), Scale(329), Scale(TickerHeight));
    }

    void TtickForm::LoadStripPictures()
    {
        auto& process = Os().process;
        auto& system = Os().system;
        const bool contrast = system.GetHighContrast();
        const os::Color back = system.GetSysColor(os::color::window);
        const os::Color fore = system.GetSysColor(os::color::windowtext);
        const int dpi = Dpi();
        for (auto [image, name] :
             { std::pair{ &Image2, "LOADING" }, std::pair{ &OopsImage, "OOPS" }, std::pair{ &GrabImage, "GRAB" } })
        {
            os::Bitmap picture = forms::LoadArtwork(process, name, dpi);
            image->SetPicture(contrast ? forms::TwoTone(std::move(picture), back, fore) : std::move(picture));
        }
    }

    // The layout follows the new DPI before the window takes its new size, so that
    // the height limits let the new height through. A docked strip docks again, so
    // that the shell reserves its new height; a floating one takes the rectangle
    // Windows suggests, at the strip's height.
    void TtickForm::DpiChanged(const os::Rect& suggested)
    {
        const int oldDpi = _layoutDpi;
        const int dpi = Dpi();
        forms::SizeConstraints limits = Constraints();
        limits.minWidth = MinimumStripWidth();
        SetConstraints(limits);
        ApplyStripMetrics();
        LayoutForScale();
        RefreshControlFonts();
        for (player::TShockwaveFlash* control : { Flash.get(), SponsorFlash.get() })
            if (control)
                control->SetHeight(Scale(TickerHeight));
        const appbar::TAppBarEdge edge = Settings().edge;
        const bool docked = edge == appbar::abeTop || edge == appbar::abeBottom;
        if (docked)
        {
            // The floating rectangle keeps its size in 96-dpi terms for the next undocking.
            SetFloatRight(FloatLeft() + os::MulDiv(FloatRight() - FloatLeft(), dpi, oldDpi));
            SetFloatBottom(FloatTop() + Scale(TickerHeight));
            if (!_userMoving)
                SetEdge(edge);
        }
        else
        {
            SetBounds(suggested.left, suggested.top, suggested.Width(), Scale(TickerHeight));
            if (edge == appbar::abeFloat && !_userMoving)
            {
                SetFloatLeft(Left());
                SetFloatTop(Top());
                SetFloatRight(Left() + Width());
                SetFloatBottom(Top() + Height());
            }
        }
    }

    // On top of all ordinary windows, or behind all of them (not merely off the top
    // band), without moving, sizing or activating the strip.
    void TtickForm::ApplyOnTop(bool onTop)
    {
        Os().windows.SetWindowPos(Handle(), onTop ? os::hwnd_topmost : os::hwnd_bottom, 0, 0, 0, 0,
                                  os::swp::noactivate | os::swp::nomove | os::swp::nosize);
    }

    void TtickForm::WMDisplayChange(os::WPARAM wParam, os::LPARAM lParam)
    {
        TAppBar::WndProc(os::wm::displaychange, wParam, lParam);
        ForceTickerOnScreen(); // reads the new work area
    }

    void TtickForm::ForceTickerOnScreen()
    {
        const os::Rect work = Os().system.GetWorkArea();
        if (work.right < MinimumDesktopWidth)
        {
            App().MessageBox("Sorry, The Norvale Desktop Ticker requires that\r\nyour desktop is at least 800 pixels wide.",
                             "Norvale Desktop Ticker", os::mb::ok | os::mb::iconerror);
            DoQuit();
            App().Terminate(); // the loop ends after this message; the rule still runs once
        }
        const OnScreenPlace place = KeepOnScreen(Top(), Left(), ClientWidth(), work, Dpi());
        if (place.top)
            SetTop(*place.top);
        if (place.left)
            SetLeft(*place.left);
        Repaint();
    }

    // ------------------------------------------------------------------ docking

    void TtickForm::DockTop1Click(forms::MenuItem&)
    {
        SetEdge(appbar::abeTop);
    }

    void TtickForm::DockBottom1Click(forms::MenuItem&)
    {
        SetEdge(appbar::abeBottom);
    }

    void TtickForm::Undocke1Click(forms::MenuItem&)
    {
        SetEdge(appbar::abeFloat);
    }

    // At the end of every edge change and at every step of a user's drag, with the
    // edge the drag would give: the menu and the on-top state follow the edge.
    void TtickForm::OnAppBarStateChange(bool, appbar::TAppBarEdge edge)
    {
        if (edge == appbar::abeFloat)
        {
            StayonTop1.SetEnabled(true);
            Undocke1.SetChecked(true);
            // Only the value: the z-order follows at the toolbar's next edge change.
            if (StayonTop1.Checked() && !AlwaysOnTop())
                SetAlwaysOnTop(true);
            return;
        }
        // Docked, or the window is going (the toolbar then reports no edge).
        if (Flash && Flash->Top() > 1)
            Invalidate(); // parked while loading: the picture and the status line repaint
        if (SponsorFlash && SponsorFlash->Top() == 0)
            SponsorFlash->SetLeft(ClientWidth() - Scale(GrabWidth) - Scale(SponsorWidth)); // the logo keeps to the right end
        if (edge == appbar::abeTop)
            DockTop1.SetChecked(true);
        else
            DockBottom1.SetChecked(true);
        SetAlwaysOnTop(false);
        StayonTop1.SetEnabled(false); // its check stays as the user left it
    }

    // Reachable only while the strip floats.
    void TtickForm::StayonTop1Click(forms::MenuItem&)
    {
        StayonTop1.SetChecked(!StayonTop1.Checked());
        SetAlwaysOnTop(StayonTop1.Checked());
        ApplyOnTop(StayonTop1.Checked());
        Show(); // to the top of its band: after going to the bottom, above the ordinary windows
        SetFocus();
    }
} // namespace app
