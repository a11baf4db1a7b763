#include "app/main.h"

#include "app/content.h"
#include "forms/application.h"
#include "forms/picture.h"

namespace app
{
    namespace
    {
        const char* const NotInstalledText = "The Norvale Desktop Ticker has detected that you do not have\r\n"
                                             "the Macromedia Flash ActiveX control installed. \r\n\r\n"
                                             "Would you like to download and install Flash now?";
        const char* const IncompatibleText = "The Norvale Desktop Ticker has detected that you have an incompatible\r\n"
                                             "version of the Macromedia Flash ActiveX control installed. The ticker\r\n"
                                             "requires version 6 or above of the Flash player.\r\n\r\n"
                                             "Would you like to download and install version 6 now?";
    } // namespace

    TtickForm::TtickForm(forms::Application& app, player::PlayerFactory& players)
        : TAppBar(app, "tickForm"), Image2(*this, "Image2"), OopsImage(*this, "OopsImage"), GrabImage(*this, "GrabImage"),
          ProgressLabel(*this, "ProgressLabel"), Timer1(app, "Timer1"), Timer2(app, "Timer2"),
          fsCommandTimer(app, "fsCommandTimer"), PopupMenu1(app, "PopupMenu1"),
          SetNewsPreferences1(app, "SetNewsPreferences1", "Set News &Preferences..."), Reload1(app, "Reload1", "&Reload"),
          ReadHeadlines1(app, "ReadHeadlines1", "Read headlines"), PauseScrolling1(app, "PauseScrolling1", "Pause scrolling"),
          N4(app, "N4", "-"), Docking1(app, "Docking1", "&Docking"), Undocke1(app, "Undocke1", "Undocked"),
          DockTop1(app, "DockTop1", "Top"), DockBottom1(app, "DockBottom1", "Bottom"), N3(app, "N3", "-"),
          StayonTop1(app, "StayonTop1", "Always on &top"), LaunchatStartup1(app, "LaunchatStartup1", "&Launch at startup"),
          N2(app, "N2", "-"), Help1(app, "Help1", "&Help"),
          AbouttheNorvaleVodazovOvarar1(app, "AbouttheNorvaleVodazovOvarar1", "&About the Norvale Desktop Ticker"),
          N1(app, "N1", "-"), Exit1(app, "Exit1", "E&xit"), TrayIconData(app.Os(), TrayIconId, TrayCallbackMessage),
          _players(players), _fetches(app.Os().downloads), _nameTimer(app, "NameTimer")
    {
        BuildLayout();
        BuildMenu();
        _created = true;
        FormCreate();
    }

    TtickForm::~TtickForm()
    {
        // The window goes while this class still handles its messages; the player
        // controls go with it.
        WatchSession(false);
        DestroyHandle();
        SponsorFlash.reset();
        Flash.reset();
    }

    void TtickForm::BuildLayout()
    {
        SetCaption("Norvale Desktop Ticker");
        SetBorderStyle(forms::BorderStyle::none);
        SetBorderIcons(false, false, false);
        SetColor(os::Rgb(66, 66, 66));
        SetFont({ "MS Sans Serif", -14, false });
        SetBounds(100, 100, Scale(703), Scale(32));
        SetConstraints({ MinimumStripWidth(), 0, 0, 0 });
        OnClose = [this](forms::Form& sender, forms::CloseAction& action)
        {
            FormClose(sender, action);
        };

        Image2.SetEnabled(false);
        Image2.SetCursor(forms::cr::drag);
        OopsImage.SetEnabled(false);
        OopsImage.Hide();
        GrabImage.SetEnabled(false);
        GrabImage.SetCursor(forms::cr::sizeAll);
        LayoutForScale();
        ProgressLabel.SetAlignment(forms::Alignment::right);
        ProgressLabel.SetTransparent(true);
        ProgressLabel.SetFont({ "Arial", -11, false });
        ProgressLabel.SetFontColor(os::Rgb(255, 255, 255));
        ProgressLabel.SetCaption("Connecting to Norvale...");
        ProgressLabel.OnClick = [this](forms::Control& sender)
        {
            ProgressLabelClick(sender);
        };

        Timer1.SetEnabled(false);
        Timer1.SetInterval(1000);
        Timer1.SetOnTimer([this](forms::Timer& t) { Timer1Timer(t); });
        Timer2.SetEnabled(false);
        Timer2.SetInterval(10);
        Timer2.SetOnTimer([this](forms::Timer& t) { Timer2Timer(t); });
        fsCommandTimer.SetEnabled(false);
        fsCommandTimer.SetInterval(800);
        fsCommandTimer.SetOnTimer([this](forms::Timer& t) { fsCommandTimerTimer(t); });
        _nameTimer.SetEnabled(false);
        _nameTimer.SetInterval(AnnounceIntervalMs);
        _nameTimer.SetOnTimer([this](forms::Timer&) { NameTimerTimer(); });
    }

    void TtickForm::BuildMenu()
    {
        auto& items = PopupMenu1.Items();
        for (forms::MenuItem* item : { &SetNewsPreferences1, &Reload1, &ReadHeadlines1, &PauseScrolling1, &N4, &Docking1, &N3,
                                       &StayonTop1, &LaunchatStartup1, &N2, &Help1, &AbouttheNorvaleVodazovOvarar1, &N1, &Exit1 })
            items.Add(*item);
        for (forms::MenuItem* item : { &Undocke1, &DockTop1, &DockBottom1 })
        {
            Docking1.Add(*item);
            item->SetRadioItem(true);
            item->SetGroupIndex(1);
            item->SetAutoCheck(true);
        }
        Undocke1.SetChecked(true);
        StayonTop1.SetChecked(true);
        LaunchatStartup1.SetChecked(true);
        Reload1.OnClick = [this](forms::MenuItem& sender)
        {
            Reload1Click(sender);
        };
        ReadHeadlines1.OnClick = [this](forms::MenuItem&)
        {
            ReadHeadlines1Click();
        };
        PauseScrolling1.OnClick = [this](forms::MenuItem&)
        {
            PauseScrolling1Click();
        };
        LaunchatStartup1.OnClick = [this](forms::MenuItem& sender)
        {
            LaunchatStartup1Click(sender);
        };
        Help1.OnClick = [this](forms::MenuItem& sender)
        {
            Help1Click(sender);
        };
        AbouttheNorvaleVodazovOvarar1.OnClick = [this](forms::MenuItem& sender)
        {
            AbouttheNorvaleVodazovOvarar1Click(sender);
        };
        Exit1.OnClick = [this](forms::MenuItem& sender)
        {
            Exit1Click(sender);
        };
        SetNewsPreferences1.OnClick = [this](forms::MenuItem&)
        {
            SetNewsPreferences1Click();
        };
        DockTop1.OnClick = [this](forms::MenuItem& sender)
        {
            DockTop1Click(sender);
        };
        DockBottom1.OnClick = [this](forms::MenuItem& sender)
        {
            DockBottom1Click(sender);
        };
        Undocke1.OnClick = [this](forms::MenuItem& sender)
        {
            Undocke1Click(sender);
        };
        StayonTop1.OnClick = [this](forms::MenuItem& sender)
        {
            StayonTop1Click(sender);
        };
        OnMouseDown = [this](forms::Control& sender, forms::MouseButton button, int x, int y)
        {
            FormMouseDown(sender, button, x, y);
        };
    }

    // The start-up sequence, in this order.
    void TtickForm::FormCreate()
    {
        auto& windows = Os().windows;
        Trace("*************  TICKER STARTING  *****************");
        FlashMissing = false;
        App().SetCursor(HandCursor, windows.LoadSystemCursor(os::idc::hand));

        // Until a saved record says otherwise the strip floats over its layout's
        // rectangle; without one the toolbar would size it from an empty float
        // rectangle at its first creation.
        SetFloatLeft(Left());
        SetFloatTop(Top());
        SetFloatRight(Left() + Width());
        SetFloatBottom(Top() + Height());
        SetKeyName("Software\\Norvale\\Vodazovovarar");
        SetFlags(appbar::FlagBit(appbar::abfAllowTop) | appbar::FlagBit(appbar::abfAllowBottom) |
                 appbar::FlagBit(appbar::abfAllowFloat));
        SetAlwaysOnTop(false);
        // A saved choice reaches the menu before the window is made: the first edge
        // report turns the on-top state on whenever the item is checked, and would
        // otherwise undo a floating strip's saved "off" at every start.
        if (LoadSettings())
            StayonTop1.SetChecked(AlwaysOnTop());

        // The program has no taskbar button. Chosen before the window is made, so that
        // the toolbar's first edge, applied as the window is made, does not show
        // the button for a moment only for it to go again.
        SetTaskEntry(appbar::abtHide);
        // The window is made here; the toolbar registers it and applies the loaded edge.
        ApplyOnTop(AlwaysOnTop());
        // FloatLeft and FloatTop hold the window's position when it was made (the
        // layout's 100, 100), not the loaded ones.
        if (Edge() == appbar::abeFloat)
        {
            SetTop(FloatTop());
            SetLeft(FloatLeft());
        }

        LoadStartupSetting();
        LoadReadingSettings();
        SetSlideEffect(false);
        SetMaxWidth(10000);
        ApplyStripMetrics();

        TrayIconData.Add(Handle(), windows.LoadAppIcon(16), App().Title());
        windows.SetAccessible(Handle(), &_accessible);
        WatchSession(true);
        ApplyContrast();
        StartTime = Os().process.GetLocalTime();
        StayonTop1.SetChecked(AlwaysOnTop());
        if (IsLargeFonts())
        {
            _statusTop = 3;
            ProgressLabel.SetTop(Scale(_statusTop));
        }
        windows.ShowWindow(App().Handle(), os::sw::hide);

        // A player that answers a call with an error is reported like any other
        // handler's error and the sequence goes on: the watchdog, started at the
        // beginning of the load, then takes over.
        App().Guard([this] { PrepareFlash(); });
        if (!FlashMissing)
        {
            Show();
            App().Guard([this] { StartLoad(); });
            ForceTickerOnScreen();
        }
        // When the player is missing the window stays hidden; the detection timer,
        // started by the resizes above, brings up the player prompt.
    }

    os::LRESULT TtickForm::WndProc(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
    {
        if (msg == TrayIconData.TaskbarCreatedMessage())
        {
            TrayIconData.TaskbarCreated();
            return 0;
        }
        switch (msg)
        {
        case TrayCallbackMessage: TrayIconCallback(lParam); break; // then the inherited handling
        case os::wm::displaychange: WMDisplayChange(wParam, lParam); return 0;
        case FetchMessage: FetchArrived(static_cast<std::uint32_t>(wParam)); return 0;
        case os::wm::settingchange: SettingChange(); break;
        case os::wm::wtssession_change:
            if (wParam == os::wts::session_lock || wParam == os::wts::session_unlock)
            {
                _sessionLocked = wParam == os::wts::session_lock;
                ApplyStageState();
            }
            return 0;
        case os::wm::powerbroadcast:
            if (wParam == os::pbt::powersettingchange)
            {
                _displayOff = lParam == os::displaystate::off;
                ApplyStageState();
                return 1;
            }
            break;
        case os::wm::activate:
            // The window the user came from gets the keyboard back after reading.
            if (os::LoWord(wParam) != os::wa::inactive && lParam != 0)
                _returnFocus = os::Hwnd{ lParam };
            break;
        case os::wm::windowposchanging: WMWindowPosChanging(*reinterpret_cast<os::WindowPos*>(lParam)); break;
        // The user's drag, not the program's own placement: only then does the strip
        // snap to the panel. The flag drops before the toolbar docks at the drag's end.
        case os::wm::entersizemove: _userMoving = true; break;
        case os::wm::exitsizemove: _userMoving = false; break;
        case os::wm::windowposchanged:
        {
            // The toolbar's handler must run first; the panel's bookkeeping follows.
            const os::LRESULT result = TAppBar::WndProc(msg, wParam, lParam);
            WMWindowPosChanged(*reinterpret_cast<const os::WindowPos*>(lParam));
            return result;
        }
        default: break;
        }
        return TAppBar::WndProc(msg, wParam, lParam);
    }

    // ------------------------------------------------------------------ the player test

    int TtickForm::GetFlashVersion()
    {
        const long version = Flash ? Flash->FlashVersion() : 0;
        return static_cast<int>((static_cast<unsigned long>(version) >> 16) & 0xFF);
    }

    void TtickForm::Timer2Timer(forms::Timer& sender)
    {
        sender.SetEnabled(false);
        if (FlashMissing)
        {
            Hide();
            const char* text = sender.Tag() == 0 ? NotInstalledText : IncompatibleText;
            const int answer = App().MessageBox(text, "Flash Detection", os::mb::yesno | os::mb::iconquestion);
            if (answer == os::id::yes)
                DoGetFlash();
            else
            {
                DoQuit();
                App().Terminate();
            }
            return;
        }
        if (!Flash || !SponsorFlash)
            return;
        // The two controls side by side, the sponsor slot just left of the grab handle.
        Flash->Show();
        // A shown logo's slot is laid out here at the strip's scale, a hidden one
        // keeps its place and its width of 0.
        if (SponsorFlash->Top() == 0)
            SponsorFlash->SetBounds(SponsorFlash->Left(), 0, Scale(SponsorWidth), Scale(TickerHeight));
        Flash->SetWidth(ClientWidth() - Scale(GrabWidth) - SponsorFlash->Width());
        SponsorFlash->SetLeft(ClientWidth() - Scale(GrabWidth) - Scale(SponsorWidth));
        Flash->Hide();
        Flash->Show();
        if (!UpdatePromptVisible())
            Flash->SetFocus();
    }

    void TtickForm::DoGetFlash()
    {
        if (!Os().internet.GetConnectedState())
        {
            App().MessageBox("Sorry, you must be connected to the Internet\r\nto download and run the Flash Installer.\r\n\r\n"
                             "Please connect and try again.",
                             "No Internet Connection", os::mb::ok | os::mb::iconerror);
        }
        else
        {
            App().NormalizeTopMosts();
            App().MessageBox("The ticker will now close, and you will be \r\ndirected to the Flash download page.\r\n\r\n"
                             "When the installation is complete, please \r\nstart the Norvale Desktop Ticker again.",
                             "Information", os::mb::ok | os::mb::iconinformation);
            App().RestoreTopMosts();
            Os().shell.Execute(App().Handle(), "open", ContentBaseUrl() + "getflash.htm", "", "", os::sw::shownormal);
        }
        DoQuit();
        App().Terminate();
    }

    // ------------------------------------------------------------------ the connection watchdog

    void TtickForm::Timer1Timer(forms::Timer&)
    {
        Timer1.SetTag(Timer1.Tag() + 1);
        if (Timer1.Tag() == 7)
            Reload(); // the rebuild follows 800 ms later; the watchdog runs on
        if (Timer1.Tag() == 15)
        {
            Timer1.SetEnabled(false);
            Timer1.SetTag(0);
            OopsImage.Show();
            Image2.Hide();
            ProgressLabel.SetCaption("Please check connections and click here to try again");
            ProgressLabel.SetTag(1);
            ProgressLabel.SetCursor(HandCursor);
        }
    }

    void TtickForm::CheckInternetConnection()
    {
        if (Os().internet.GetConnectedState())
            return;
        Timer1.SetEnabled(false);
        Timer1Timer(Timer1);
        ProgressLabel.SetCaption("Not currently connected. Click here to retry.");
        ProgressLabel.SetTag(1);
        ProgressLabel.SetCursor(HandCursor);
    }

    void TtickForm::ProgressLabelClick(forms::Control&)
    {
        if (ProgressLabel.Tag() <= 0)
            return;
        Image2.Show();
        ProgressLabel.SetTag(0);
        ProgressLabel.SetCursor(forms::cr::defaultCursor);
        Reload(); // the failure picture stays until the new load hides it
    }

    // ------------------------------------------------------------------ quitting

    void TtickForm::DoQuit()
    {
        _quitting = true;
        _fetches.CancelAll(); // no answer reaches a strip on its way out
        WatchSession(false);
        DoRunOnStartup(LaunchatStartup1.Checked());
        SaveSettings();
        TrayIconData.Remove();
        App().ProcessMessages();
    }

    void TtickForm::FormClose(forms::Form&, forms::CloseAction&)
    {
        DoQuit();
    }

    void TtickForm::ShowMovieMessage(const std::string& text)
    {
        App().MessageBox(text, "Information", os::mb::ok | os::mb::iconinformation);
    }

    bool TtickForm::IsLargeFonts()
    {
        return Os().system.GetLogPixelsX() == 120;
    }

    void TtickForm::Trace(const std::string& text)
    {
        if (TraceSink)
            TraceSink(text);
    }
} // namespace app
