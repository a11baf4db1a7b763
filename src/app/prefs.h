// TprefsForm: the preferences panel, a borderless 690 by 352 window that plays the
// preferences movie right next to the strip, directly above or below it with the
// left edges aligned. Shown, it opens in 30-pixel steps, loads the movie and waits
// ten seconds for the movie to say it has loaded. The movie closes it with "done"
// (the strip then reloads the ticker) or "cancel".
//
// The panel stays attached to the strip and follows the strip's drags. The user
// can drag it away, which detaches it; either window snaps back into line with the
// other when moved within 20 pixels of the attached place, which attaches it again.
#pragma once

#include "forms/controls.h"
#include "forms/form.h"
#include "forms/timer.h"
#include "player/flash.h"

#include <memory>
#include <string>

namespace app
{
    class TtickForm;

    // Both windows snap to a place when moved from 20 pixels before it to 19 past it
    // (a 96-dpi length: each window scales it by its own DPI).
    constexpr int SnapDistance = 20;

    // `target` when `proposed` lies in [target - distance, target + distance), else `proposed`.
    int Snap(int proposed, int target, int distance = SnapDistance);

    class TprefsForm : public forms::Form
    {
      public:
        // Throws forms::EOleSysError when the player control cannot be made.
        TprefsForm(forms::Application& app, player::PlayerFactory& players, TtickForm& tick);
        ~TprefsForm() override;

        // ---- components of the layout
        forms::Image grab;
        forms::Label LoadLabel;
        std::unique_ptr<player::TShockwaveFlash> prefsFlash;
        forms::Timer Timer1;    // the opening steps, 20 ms
        forms::Timer OpenTimer; // the wait for the movie, 1000 ms

        // ---- state
        bool Attached = true; // in its slot next to the strip, following the strip's drags
        bool Above = false;   // the slot is above the strip
        std::string ChannelCode;
        std::string ChannelName;
        int WaitCount = 0;

        // The top of the slot next to the strip, for the current Above and height.
        int SlotTop();

        // A channel code and name joined by "||", handed to the movie at its next "loaded".
        void SetChannelInfo(const std::string& info);
        void Timer1Timer(forms::Timer& sender);
        void OpenTimerTimer(forms::Timer& sender);
        void prefsFlashFSCommand(player::TShockwaveFlash& sender, const std::wstring& command, const std::wstring& args);

        os::LRESULT WndProc(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam) override;

      protected:
        void Paint(os::ICanvas& canvas) override; // FormPaint
        void DpiChanged(const os::Rect& suggested) override;

      private:
        // The children at the panel's DPI.
        void LayoutForScale();
        void ApplyStoredSettings();
        void FormShow();
        void FormClose();
        void WindowPosChanging(os::WindowPos& pos);
        void WindowPosChanged(const os::WindowPos& pos);

        TtickForm& _tick;
    };
} // namespace app
