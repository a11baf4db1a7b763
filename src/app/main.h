// TtickForm: the ticker window, a strip 25 pixels high that floats on the desktop
// or docks to the top or bottom edge as a desktop toolbar. It hosts two player
// controls (the ticker movie and the sponsor logo), shows the loading and failure
// pictures with a status line while the ticker movie loads, lives in the
// notification area, and carries out what the ticker movie asks of it.
//
// The class is one window split over several files by concern:
//   main.cpp            layout, start-up, the player prompt, the watchdog, quitting
//   main_loading.cpp    the two player controls, loading, progress and reload
//   main_protocol.cpp   the ticker movie's commands and the completion of a load
//   main_settings.cpp   the settings store, the user identifier, launch at log-on
//   main_links.cpp      links, help, the about box and the exit
//   main_content.cpp    the channel feed, the sponsor logo and the update offer
//   main_placement.cpp  the strip's layout on resize, the on-screen rule, docking
//                       and always on top
//   main_menu.cpp       the context menu, its three triggers and the preferences
//                       panel's place next to the strip
//   main_reading.cpp    reading the strip: the headline shown (screen readers, the
//                       icon's tip), the keyboard, the pause, the system's motion
//                       and contrast, and no frames while nothing can be seen
#pragma once

#include "app/fetch.h"
#include "app/tray_icon.h"
#include "appbar/appbar.h"
#include "forms/controls.h"
#include "forms/menu.h"
#include "forms/timer.h"
#include "player/flash.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace app
{
    // Strip metrics shared by the whole program, as 96-dpi lengths: the strip
    // scales them by its monitor's DPI (TtickForm::Scale).
    constexpr int TickerHeight = 25;
    constexpr int GrabWidth = 10;
    constexpr int SponsorWidth = 59;
    // The least time between two announcements of a new headline to screen readers.
    constexpr os::UINT AnnounceIntervalMs = 3000;

    // The pointer shape number under which the hand is registered.
    constexpr int HandCursor = 32649;
    // The notification-area icon's identifier and callback message.
    constexpr os::UINT TrayIconId = 100;
    constexpr os::UINT TrayCallbackMessage = os::wm::user + 1;

    class TAboutForm;
    class TprefsForm;
    class TUpdateForm;

    class TtickForm : public appbar::TAppBar
    {
      public:
        TtickForm(forms::Application& app, player::PlayerFactory& players);
        ~TtickForm() override;

        // ---- components of the layout
        forms::Image Image2;
        forms::Image OopsImage;
        forms::Image GrabImage;
        forms::Label ProgressLabel;
        forms::Timer Timer1;
        forms::Timer Timer2;
        forms::Timer fsCommandTimer;
        forms::PopupMenu PopupMenu1;
        forms::MenuItem SetNewsPreferences1;
        forms::MenuItem Reload1;
        forms::MenuItem ReadHeadlines1;
        forms::MenuItem PauseScrolling1;
        forms::MenuItem N4;
        forms::MenuItem Docking1;
        forms::MenuItem Undocke1;
        forms::MenuItem DockTop1;
        forms::MenuItem DockBottom1;
        forms::MenuItem N3;
        forms::MenuItem StayonTop1;
        forms::MenuItem LaunchatStartup1;
        forms::MenuItem N2;
        forms::MenuItem Help1;
        forms::MenuItem AbouttheNorvaleVodazovOvarar1;
        forms::MenuItem N1;
        forms::MenuItem Exit1;

        // ---- the player controls, made by PrepareFlash and gone after KillFlash
        std::unique_ptr<player::TShockwaveFlash> Flash;
        std::unique_ptr<player::TShockwaveFlash> SponsorFlash;
        bool FlashMissing = false;
        std::string SponsorURL;
        os::SystemTime StartTime{};
        TrayIcon TrayIconData;

        // ---- start-up, the player test and quitting
        void Timer1Timer(forms::Timer& sender);
        void Timer2Timer(forms::Timer& sender);
        void DoGetFlash();
        void CheckInternetConnection();
        void ProgressLabelClick(forms::Control& sender);
        void DoQuit();
        bool Quitting() const { return _quitting; }
        void ShowMovieMessage(const std::string& text);
        bool IsLargeFonts();
        int GetFlashVersion();
        // The debug trace; it writes nowhere unless a sink is set.
        void Trace(const std::string& text);
        std::function<void(const std::string&)> TraceSink;

        // ---- loading and reload
        void PrepareFlash();
        void StartLoad();
        void KillFlash();
        void Reload();
        void Reload1Click(forms::MenuItem& sender);
        void fsCommandTimerTimer(forms::Timer& sender);
        void FlashProgress(player::TShockwaveFlash& sender, long percentDone);
        void FlashReadyStateChange(player::TShockwaveFlash& sender, long newState);
        void CheckDate();
        // An event of one of the two controls is on the stack.
        bool PlayerEventRunning() const;

        // ---- the ticker movie's commands
        void FlashFSCommand(player::TShockwaveFlash& sender, const std::wstring& command, const std::wstring& args);
        void Complete();
        void SetFlashScreenNumbers();
        bool FirstRun = false; // armed by the first-run query, consumed by the completion
        std::string UserId;

        // ---- settings store and launch at log-on
        void LoadStartupSetting();
        void CheckFirstTime();
        void DoRunOnStartup(bool enable);
        void LaunchatStartup1Click(forms::MenuItem& sender);
        std::string GetPath();

        // ---- links, help, about and exit
        void OpenURL(const std::string& url, bool withId);
        void Help1Click(forms::MenuItem& sender);
        void AbouttheNorvaleVodazovOvarar1Click(forms::MenuItem& sender);
        void Exit1Click(forms::MenuItem& sender);
        TAboutForm* AboutForm = nullptr; // made by the program entry

        // ---- content services
        // Both fetch off the GUI thread; the movie's variables change when the answer
        // comes, in the order in which the strip would have set them at once.
        void GetFlashChannel(const std::string& url);
        void GetFlashSponsor(const std::string& args);
        // Loads of the ticker movie so far: an answer fetched for an earlier one is
        // dropped.
        unsigned Loads() const { return _loads; }
        void SetSponsorFlash(const std::string& logo);
        void HideSponsorFlash();
        void SponsorFSCommand(player::TShockwaveFlash& sender, const std::wstring& command, const std::wstring& args);
        void DoUpdate(const std::string& url);
        bool UpdatePromptVisible();
        TUpdateForm* UpdateForm = nullptr; // made by the program entry

        // ---- menu and preferences panel
        void OpenPopup();
        void FormMouseDown(forms::Control& sender, forms::MouseButton button, int x, int y);
        void SetNewsPreferences1Click();
        void AddNewChannel(const std::string& info);
        // Places the panel next to a strip at (left, top); unless forced, only an
        // attached panel moves.
        void PositionPrefsForm(int left, int top, bool force);
        TprefsForm* PrefsForm = nullptr; // made by the program entry when a player exists

        // ---- reading the strip, the pause, motion and contrast
        void ReadHeadlines1Click();
        void PauseScrolling1Click();
        // The headline the ticker movie presents now (empty before it names one).
        const std::wstring& HeadlineText() const { return _headlineText; }
        const std::wstring& HeadlineLink() const { return _headlineLink; }
        // What the strip asks of its movies' stages now.
        os::StageState StageStateNow();
        void ApplyStageState();
        // Nothing of the strip can be seen: a full-screen program covers it, the
        // session is locked or the display is off.
        bool Unseen() const { return _fullScreenApp || _sessionLocked || _displayOff; }

        // ---- placement, docking and always on top
        void ForceTickerOnScreen();
        void DockTop1Click(forms::MenuItem& sender);
        void DockBottom1Click(forms::MenuItem& sender);
        void Undocke1Click(forms::MenuItem& sender);
        void StayonTop1Click(forms::MenuItem& sender);
        void OnAppBarStateChange(bool proposed, appbar::TAppBarEdge edge) override;
        void OnAppBarFullScreenApp(bool open) override;

        os::LRESULT WndProc(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam) override;

      protected:
        void Resize() override; // FormResize
        // The strip moved to a monitor of another DPI, or its monitor's scale changed.
        void DpiChanged(const os::Rect& suggested) override;

      private:
        void BuildLayout();
        void BuildMenu();
        void FormCreate();
        void FormClose(forms::Form& sender, forms::CloseAction& action);
        void FormResize();
        void HoldStripHeight();
        int MinimumStripWidth();
        // The toolbar's sizes and the strip's limits at the strip's DPI.
        void ApplyStripMetrics();
        // The pictures, the grab handle and the status line at the strip's DPI.
        void LayoutForScale();
        // The loading, failure and grab pictures at the strip's DPI and contrast.
        void LoadStripPictures();
        void ApplyOnTop(bool onTop);
        void WMDisplayChange(os::WPARAM wParam, os::LPARAM lParam);
        void WMWindowPosChanging(os::WindowPos& pos);
        void WMWindowPosChanged(const os::WindowPos& pos);
        void TrayIconCallback(os::LPARAM lParam);
        void ShellOpen(const std::string& target);
        void FetchArrived(std::uint32_t id);
        void ChannelArrived(const Fetches::Answer& answer);
        void SponsorArrived(const Fetches::Answer& answer);
        void SponsorFailed(const std::string& why);
        void ShowSponsor(const std::string& feed, const std::string& page);
        void WireReading(player::TShockwaveFlash& control);
        void FlashHeadline(const std::wstring& text, const std::wstring& link);
        void FlashKey(const std::wstring& key);
        void AnnounceHeadline();
        void NameTimerTimer();
        void GiveFocusBack();
        void LoadReadingSettings();
        void SettingChange();
        // The strip's own pieces in the colours of a high-contrast theme, or its own.
        void ApplyContrast();
        void WatchSession(bool watch);

        player::PlayerFactory& _players;
        Fetches _fetches;
        unsigned _loads = 0;
        // The feed of the sponsor request in flight, once read, while its logo page is fetched.
        std::optional<std::string> _sponsorFeed;
        bool _created = false;           // the layout is complete: resize handling may run
        bool _quitting = false;          // the quit sequence has begun: no reload may start a load
        bool _userMoving = false;        // inside the system's move or size loop: the user drags the strip
        int _layoutDpi = os::DefaultDpi; // the DPI the children were last laid out for
        int _statusTop = 5;              // the status line's top, a 96-dpi length

        // What a screen reader reads of the strip.
        class Accessible final : public os::IAccessibleContent
        {
          public:
            explicit Accessible(TtickForm& form) : _form(form) {}
            std::wstring AccessibleName() override;
            std::wstring AccessibleValue() override;
            std::wstring AccessibleDescription() override;
            long AccessibleRole() override;
            std::wstring DefaultActionName() override;
            bool DoDefaultAction() override;

          private:
            TtickForm& _form;
        };
        Accessible _accessible{ *this };
        forms::Timer _nameTimer;
        std::wstring _headlineText, _headlineLink;
        bool _namePending = false; // a change waits for the announcement's interval
        bool _keyAnnounce = false; // a key stepped: its headline is told at once
        os::Hwnd _returnFocus{};   // where Esc gives the keyboard back
        bool _fullScreenApp = false;
        bool _sessionLocked = false;
        bool _displayOff = false;
        bool _highContrastShown = false;
    };
} // namespace app
