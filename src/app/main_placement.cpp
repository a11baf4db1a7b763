// Where the strip may stand and how its children are laid out when it is resized.
#include "app/main.h"
#include "app/placement.h"
#include "forms/application.h"

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
        GrabImage.SetLeft(ClientWidth() - GrabWidth);
        ProgressLabel.SetLeft(GrabImage.Left() - ProgressLabel.Width() - 5);
        if (Timer1.Enabled())
            return; // while a load is in progress the parked ticker control stays put
        if (Flash && SponsorFlash && Os().internet.GetConnectedState())
        {
            Flash->SetWidth(ClientWidth());
            Flash->SetBounds(0, 0, ClientWidth() - GrabWidth - SponsorFlash->Width(), ClientHeight());
            Flash->SetWidth(ClientWidth());
        }
        forms::SizeConstraints limits = Constraints();
        limits.minHeight = TickerHeight;
        SetConstraints(limits);
        limits.maxHeight = TickerHeight;
        SetConstraints(limits);
        Timer2.SetEnabled(true);
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
        const OnScreenPlace place = KeepOnScreen(Top(), Left(), ClientWidth(), work);
        if (place.top)
            SetTop(*place.top);
        if (place.left)
            SetLeft(*place.left);
        Repaint();
    }
} // namespace app
