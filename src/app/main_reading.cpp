// Reading the strip. The ticker movie names the headline it presents; the strip
// shows it in the notification icon's tip and gives it to screen readers as the
// name of its accessible object, telling them of a change only while it has the
// keyboard, and then at most once in a few seconds unless a key asked for it.
// With the keyboard (a click, "Read headlines"), Left and Right step through the
// headlines, Enter opens one, Space pauses and Esc gives the keyboard back to the
// window the user came from. "Pause scrolling" stops the motion for good (kept in
// the settings). The movies hear of Windows' animations and high-contrast theme,
// and get no frames while nothing of the strip can be seen: a full-screen program
// covers it, the session is locked or the display is off.
#include "app/main.h"
#include "app/settings.h"
#include "forms/application.h"
#include "forms/picture.h"
#include "forms/registry.h"

namespace app
{
    namespace
    {
        const char* const PauseValue = "PauseScrolling";
        const os::Color StripColour = os::Rgb(66, 66, 66);
        const os::Color StatusColour = os::Rgb(255, 255, 255);
    } // namespace

    // ------------------------------------------------------------------ the settings

    void TtickForm::LoadReadingSettings()
    {
        forms::Registry reg(Os().registry);
        if (!reg.OpenKey(SettingsKey, false))
            return;
        PauseScrolling1.SetChecked(reg.ReadString(PauseValue).value_or("") == "yes");
    }

    void TtickForm::PauseScrolling1Click()
    {
        PauseScrolling1.SetChecked(!PauseScrolling1.Checked());
        forms::Registry reg(Os().registry);
        if (reg.OpenKey(SettingsKey, true))
            reg.WriteString(PauseValue, PauseScrolling1.Checked() ? "yes" : "no");
        ApplyStageState();
    }

    // ------------------------------------------------------------------ the stages' state

    os::StageState TtickForm::StageStateNow()
    {
        auto& system = Os().system;
        os::StageState s;
        s.paused = PauseScrolling1.Checked();
        s.hidden = Unseen();
        s.reducedMotion = !system.GetClientAreaAnimation();
        s.highContrast = system.GetHighContrast();
        if (s.highContrast)
        {
            s.window = system.GetSysColor(os::color::window);
            s.text = system.GetSysColor(os::color::windowtext);
            s.highlight = system.GetSysColor(os::color::highlight);
            s.highlightText = system.GetSysColor(os::color::highlighttext);
            s.hotTrack = system.GetSysColor(os::color::hotlight);
        }
        return s;
    }

    void TtickForm::ApplyStageState()
    {
        const os::StageState s = StageStateNow();
        // The state may run a movie's script, whose commands may rebuild the
        // controls: each is looked up again.
        if (Flash)
            Flash->SetStageState(s);
        if (SponsorFlash)
            SponsorFlash->SetStageState(s);
    }

    void TtickForm::OnAppBarFullScreenApp(bool open)
    {
        TAppBar::OnAppBarFullScreenApp(open);
        _fullScreenApp = open;
        ApplyStageState();
    }

    void TtickForm::WatchSession(bool watch)
    {
        if (!HandleAllocated())
            return;
        auto& windows = Os().windows;
        if (watch)
        {
            windows.RegisterSessionNotification(Handle());
            windows.RegisterDisplayStateNotification(Handle());
        }
        else
        {
            windows.UnregisterSessionNotification(Handle());
            windows.UnregisterDisplayStateNotification(Handle());
        }
    }

    void TtickForm::SettingChange()
    {
        if (Os().system.GetHighContrast() != _highContrastShown)
            ApplyContrast();
        ApplyStageState();
    }

    void TtickForm::ApplyContrast()
    {
        auto& system = Os().system;
        _highContrastShown = system.GetHighContrast();
        SetColor(_highContrastShown ? system.GetSysColor(os::color::window) : StripColour);
        ProgressLabel.SetFontColor(_highContrastShown ? system.GetSysColor(os::color::windowtext) : StatusColour);
        LoadStripPictures();
        Repaint();
    }

    // ------------------------------------------------------------------ the headline

    void TtickForm::WireReading(player::TShockwaveFlash& control)
    {
        control.OnHeadline = [this](player::TShockwaveFlash&, const std::wstring& text, const std::wstring& link)
        {
            FlashHeadline(text, link);
        };
        control.OnKey = [this](player::TShockwaveFlash&, const std::wstring& key)
        {
            FlashKey(key);
        };
        Os().windows.SetAccessible(control.Handle(), &_accessible);
    }

    void TtickForm::FlashHeadline(const std::wstring& text, const std::wstring& link)
    {
        if (text == _headlineText && link == _headlineLink)
            return;
        _headlineText = text;
        _headlineLink = link;
        TrayIconData.SetTip(text.empty() ? Os().process.AnsiToWide(App().Title()) : text);
        AnnounceHeadline();
    }

    namespace
    {
        // The strip's window that has the keyboard, if one has.
        os::Hwnd FocusedPart(os::IWindowManager& windows, os::Hwnd strip, player::TShockwaveFlash* ticker)
        {
            const os::Hwnd focus = windows.GetFocus();
            if (focus != os::Hwnd{} && (focus == strip || (ticker && focus == ticker->Handle())))
                return focus;
            return os::Hwnd{};
        }
    } // namespace

    void TtickForm::AnnounceHeadline()
    {
        auto& windows = Os().windows;
        const os::Hwnd focus = FocusedPart(windows, Handle(), Flash.get());
        if (focus == os::Hwnd{})
        {
            _namePending = false;
            return;
        }
        if (_nameTimer.Enabled() && !_keyAnnounce)
        {
            _namePending = true; // told when the interval ends
            return;
        }
        _keyAnnounce = false;
        _namePending = false;
        windows.NotifyWinEvent(os::winevent::object_namechange, focus, os::objid::client, os::objid::childid_self);
        _nameTimer.SetEnabled(false); // the interval starts again
        _nameTimer.SetEnabled(true);
    }

    void TtickForm::NameTimerTimer()
    {
        const os::Hwnd focus = FocusedPart(Os().windows, Handle(), Flash.get());
        if (_namePending && focus != os::Hwnd{})
        {
            _namePending = false;
            Os().windows.NotifyWinEvent(os::winevent::object_namechange, focus, os::objid::client, os::objid::childid_self);
            return;
        }
        _namePending = false;
        _nameTimer.SetEnabled(false);
    }

    // ------------------------------------------------------------------ the keyboard

    void TtickForm::ReadHeadlines1Click()
    {
        if (!Flash)
            return;
        auto& windows = Os().windows;
        const os::Hwnd front = windows.GetForegroundWindow();
        if (front != os::Hwnd{} && front != Handle())
            _returnFocus = front;
        windows.SetForegroundWindow(Handle());
        Flash->StartReading();
    }

    // Reached before the movie gets the key.
    void TtickForm::FlashKey(const std::wstring& key)
    {
        if (key == os::stagekey::space)
            PauseScrolling1Click();
        else if (key == os::stagekey::escape)
            GiveFocusBack();
        else
            _keyAnnounce = true; // the headline the key brings is told at once
    }

    void TtickForm::GiveFocusBack()
    {
        auto& windows = Os().windows;
        const os::Hwnd back = _returnFocus;
        _returnFocus = os::Hwnd{};
        if (back != os::Hwnd{} && back != Handle() && windows.IsWindow(back) && windows.SetForegroundWindow(back))
            return;
        // Nowhere to go back to: the strip keeps the keyboard, its movie no longer reads.
        windows.SetFocus(Handle());
    }

    // ------------------------------------------------------------------ what a screen reader reads

    std::wstring TtickForm::Accessible::AccessibleName()
    {
        if (!_form._headlineText.empty())
            return _form._headlineText;
        const std::string status = _form.ProgressLabel.Visible() ? _form.ProgressLabel.Caption() : std::string{};
        return _form.Os().process.AnsiToWide(status.empty() ? _form.App().Title() : status);
    }

    std::wstring TtickForm::Accessible::AccessibleValue()
    {
        return _form._headlineLink;
    }

    std::wstring TtickForm::Accessible::AccessibleDescription()
    {
        return L"News ticker";
    }

    long TtickForm::Accessible::AccessibleRole()
    {
        return os::role::animation;
    }

    std::wstring TtickForm::Accessible::DefaultActionName()
    {
        return _form._headlineLink.empty() ? std::wstring{} : L"Open";
    }

    bool TtickForm::Accessible::DoDefaultAction()
    {
        if (_form._headlineLink.empty())
            return false;
        // As a click on the headline: the movie's own command, with the user identifier.
        _form.OpenURL(_form.Os().process.WideToAnsi(_form._headlineLink), true);
        return true;
    }
} // namespace app
