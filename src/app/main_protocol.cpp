// The ticker movie's command protocol: the FS commands it sends and the variables
// through which the host answers.
#include "app/main.h"
#include "app/url.h"
#include "app/version.h"
#include "forms/application.h"

namespace app
{
    // Every name is compared, exactly and case-sensitively, in this order; a
    // command that matches none is ignored.
    void TtickForm::FlashFSCommand(player::TShockwaveFlash&, const std::wstring& command, const std::wstring& args)
    {
        auto& process = Os().process;
        auto text = [&]
        {
            return process.WideToAnsi(args);
        };

        if (command == L"trace")
            Trace(text());
        if (command == L"memory")
            CheckDate();
        if (command == L"ticker")
        {
            ProgressLabel.SetCaption(text());
            ProgressLabel.Repaint();
        }
        if (command == L"reload")
            Reload();
        if (command == L"getsponsor")
            GetFlashSponsor(text());
        if (command == L"getchannel")
            GetFlashChannel(text());
        if (command == L"addnewchannnel")
            AddNewChannel(text());
        if (command == L"hidelogo")
            HideSponsorFlash();
        if (command == L"openURL")
            OpenURL(text(), true);
        if (command == L"openSponsorURL")
            OpenURL(text(), false);
        if (command == L"getversion")
            Flash->SetVariable(args, process.AnsiToWide(FormatVersion(TickerVersion, Os().system.GetDecimalSeparator())));
        if (command == L"getuid")
            Flash->SetVariable(args, process.AnsiToWide(UserId));
        if (command == L"loadmovie")
        {
            // The movie names what its own control plays next: only a web address.
            if (IsWebUrl(args))
                Flash->SetMovie(args); // in the same control; the load state stays as it is
            else
                Trace("refused to load a movie from an address that is not a web address");
        }
        if (command == L"update")
            DoUpdate(text());
        if (command == L"preferences")
            OpenPopup();
        if (command == L"exit")
        {
            // The movie's script does not go on once it has asked the program to quit.
            Flash->Stop();
            DoQuit();
            App().Terminate();
        }
        if (command == L"message")
            ShowMovieMessage(text());
        if (command == L"getfirsttime")
            CheckFirstTime();
        if (command == L"complete" && args == L"success")
            Complete();
    }

    // The movie has loaded and is ready to be shown.
    void TtickForm::Complete()
    {
        const bool prompting = UpdatePromptVisible();
        if (!prompting)
            SetFocus();
        Timer1.SetEnabled(false);
        Timer1.SetTag(0); // the next load attempt counts its ticks from 0
        Flash->SetTop(0);
        if (!prompting)
            Flash->SetFocus();
        Image2.Hide();
        ProgressLabel.Hide();
        Flash->SetWidth(ClientWidth() - Scale(GrabWidth));
        Flash->Hide();
        Flash->Show();
        Flash->DoObjectVerb(os::oleiverb::show);
        if (!prompting)
            Flash->SetFocus();
        HoldStripHeight();
        Timer2.SetEnabled(true); // lays the two controls out 10 ms later
        SetFlashScreenNumbers();
        if (FirstRun)
        {
            SetNewsPreferences1Click();
            FirstRun = false;
        }
    }

    void TtickForm::SetFlashScreenNumbers()
    {
        const int monitors = Os().system.GetSystemMetrics(os::sm::cmonitors);
        Flash->SetVariable(L"num_monitors", std::to_wstring(monitors));
    }
} // namespace app
