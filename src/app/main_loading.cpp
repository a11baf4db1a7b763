// The two player controls of the strip, the load of the ticker movie, its progress
// and the one deferred path through which every reload goes.
#include "app/content.h"
#include "app/datetime.h"
#include "app/main.h"
#include "forms/application.h"
#include "forms/exceptions.h"

namespace app
{
    void TtickForm::PrepareFlash()
    {
        // Made empty and placed below; a failure to make the second leaves the
        // first to be destroyed (the fields are empty here: KillFlash ran).
        try
        {
            Flash = std::make_unique<player::TShockwaveFlash>(*this, "Flash", _players, os::Rect{});
            SponsorFlash = std::make_unique<player::TShockwaveFlash>(*this, "SponsorFlash", _players, os::Rect{});
        }
        catch (const forms::EOleSysError&)
        {
            Flash.reset();
            FlashMissing = true;
            return;
        }
        // Wired before the first call into the controls: should one of the calls
        // below fail, the controls still report to the strip and its watchdog.
        Flash->OnFSCommand = [this](player::TShockwaveFlash& sender, const std::wstring& command, const std::wstring& args)
        {
            FlashFSCommand(sender, command, args);
        };
        Flash->OnProgress = [this](player::TShockwaveFlash& sender, long percent)
        {
            FlashProgress(sender, percent);
        };
        Flash->OnReadyStateChange = [this](player::TShockwaveFlash& sender, long state)
        {
            FlashReadyStateChange(sender, state);
        };
        SponsorFlash->OnFSCommand = [this](player::TShockwaveFlash& sender, const std::wstring& command, const std::wstring& args)
        {
            SponsorFSCommand(sender, command, args);
        };
        WireReading(*Flash);
        Flash->SetBounds(0, 0, Width() - Scale(GrabWidth), Scale(TickerHeight));
        Flash->DoObjectVerb(os::oleiverb::show);
        Flash->SetMenu(false);
        SponsorFlash->SetBounds(0, Scale(30), 0, Scale(TickerHeight));
        SponsorFlash->DoObjectVerb(os::oleiverb::show);
        SponsorFlash->SetMenu(false);
        ApplyStageState();
    }

    void TtickForm::StartLoad()
    {
        SponsorURL.clear();
        Image2.Show();
        OopsImage.Hide();
        ProgressLabel.Show();    // FlashMissing is false here: a load starts only with the controls made
        Timer1.SetEnabled(true); // a running watchdog goes on undisturbed
        const std::wstring base = Os().process.AnsiToWide(ContentBaseUrl());
        Flash->SetMovie(base + L"faketickerstart.swf");
        Flash->SetMovie(base + L"ticker4.swf");
        ProgressLabel.SetCaption("Connecting to Norvale...");
        // The movie loads out of sight until it reports that it is complete.
        Flash->SetBounds(0, 1000, ClientWidth() - Scale(GrabWidth), Scale(TickerHeight));
        Repaint();
        CheckInternetConnection();
        Flash->Play();
    }

    void TtickForm::KillFlash()
    {
        // What was fetched for these controls' movie is of no use to the next one.
        _fetches.CancelAll();
        _sponsorFeed.reset();
        ++_loads;
        if (Flash)
            Os().windows.SetAccessible(Flash->Handle(), nullptr);
        for (auto* control : { &Flash, &SponsorFlash })
        {
            if (*control)
            {
                (*control)->Stop();
                control->reset();
            }
        }
    }

    // Every reload request only starts the reload timer; requests within its 800 ms
    // join the first, and the controls are never rebuilt inside their own events.
    void TtickForm::Reload()
    {
        fsCommandTimer.SetEnabled(true);
    }

    void TtickForm::Reload1Click(forms::MenuItem&)
    {
        Reload();
    }

    bool TtickForm::PlayerEventRunning() const
    {
        return (Flash && Flash->InEvent()) || (SponsorFlash && SponsorFlash->InEvent());
    }

    void TtickForm::fsCommandTimerTimer(forms::Timer&)
    {
        if (_quitting)
        {
            fsCommandTimer.SetEnabled(false); // quitting: no new load
            return;
        }
        // A handler of a control's event may be waiting in a nested loop (a box
        // from the movie, an error box): the timer stays armed and the rebuild
        // follows once no event of either control is on the stack.
        if (PlayerEventRunning())
            return;
        fsCommandTimer.SetEnabled(false);
        KillFlash();
        PrepareFlash();
        if (!FlashMissing)
            StartLoad();
    }

    void TtickForm::FlashProgress(player::TShockwaveFlash&, long percentDone)
    {
        ProgressLabel.SetCaption("Loading " + std::to_string(percentDone) + "%");
        ProgressLabel.Repaint();
    }

    void TtickForm::FlashReadyStateChange(player::TShockwaveFlash&, long newState)
    {
        if (newState != 3 || FlashMissing)
            return;
        if (GetFlashVersion() < 6)
        {
            Timer2.SetTag(1);
            FlashMissing = true;
            Timer2.SetEnabled(true);
        }
    }

    // The ticker movie is reloaded once more than twelve whole hours have passed,
    // tested whenever it sends its `memory` command.
    void TtickForm::CheckDate()
    {
        const os::SystemTime now = Os().process.GetLocalTime();
        if (WholeHoursBetween(now, StartTime) <= 12)
            return;
        StartTime = now;
        Trace("12 Hours have passed: Reload");
        fsCommandTimer.SetEnabled(true);
    }
} // namespace app
