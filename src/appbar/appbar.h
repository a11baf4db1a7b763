// TAppBar: a form that the shell knows as a desktop toolbar. Docked to a screen
// edge the shell reserves a strip of the screen for it; floating it reserves
// nothing. The user drags it between edges, sizes it in steps within its limits,
// and an auto-hide bar slides out of the edge when the pointer comes near.
//
// Nothing is applied when a property is written except Edge (the full edge change)
// and SlideTime (the auto-hide poll); the next edge change, UpdateBar, move or size
// uses the new values.
#pragma once

#include "appbar/geometry.h"
#include "appbar/settings.h"
#include "forms/form.h"
#include "forms/timer.h"

#include <memory>
#include <string>

namespace appbar
{
    // The callback message through which the shell notifies the bar.
    constexpr os::UINT AppBarCallbackMessage = os::wm::user + 100;

    class TAppBar : public forms::Form
    {
      public:
        TAppBar(forms::Application& app, std::string name);
        ~TAppBar() override;

        // ---- published properties
        TAppBarFlags Flags() const { return _settings.flags; }
        void SetFlags(TAppBarFlags v) { _settings.flags = v; }
        int HorzSizeInc() const { return _settings.horzSizeInc; }
        void SetHorzSizeInc(int v) { _settings.horzSizeInc = v; }
        int VertSizeInc() const { return _settings.vertSizeInc; }
        void SetVertSizeInc(int v) { _settings.vertSizeInc = v; }
        // During a user's move or size loop, the edge the bar would take if released now.
        TAppBarEdge Edge() const { return _proposedEdge != abeUnknown ? _proposedEdge : _settings.edge; }
        // The edge change: runs in full on every write, also of the current edge.
        void SetEdge(TAppBarEdge value);
        bool AutoHide() const { return _settings.autoHide != 0; }
        void SetAutoHide(bool v) { _settings.autoHide = v ? 1 : 0; }
        bool AlwaysOnTop() const { return _settings.alwaysOnTop != 0; }
        void SetAlwaysOnTop(bool v) { _settings.alwaysOnTop = v ? 1 : 0; }
        bool SlideEffect() const { return _settings.slideEffect != 0; }
        void SetSlideEffect(bool v) { _settings.slideEffect = v ? 1 : 0; }
        int SlideTime() const { return _settings.slideTime; }
        void SetSlideTime(int v);
        int HorzDockSize() const { return _settings.horzDockSize; }
        void SetHorzDockSize(int v) { _settings.horzDockSize = v; }
        int VertDockSize() const { return _settings.vertDockSize; }
        void SetVertDockSize(int v) { _settings.vertDockSize = v; }
        int FloatLeft() const { return _settings.floatLeft; }
        void SetFloatLeft(int v) { _settings.floatLeft = v; }
        int FloatTop() const { return _settings.floatTop; }
        void SetFloatTop(int v) { _settings.floatTop = v; }
        int FloatRight() const { return _settings.floatRight; }
        void SetFloatRight(int v) { _settings.floatRight = v; }
        int FloatBottom() const { return _settings.floatBottom; }
        void SetFloatBottom(int v) { _settings.floatBottom = v; }
        int MinWidth() const { return _settings.minWidth; }
        void SetMinWidth(int v) { _settings.minWidth = v; }
        int MinHeight() const { return _settings.minHeight; }
        void SetMinHeight(int v) { _settings.minHeight = v; }
        int MaxWidth() const { return _settings.maxWidth; }
        void SetMaxWidth(int v) { _settings.maxWidth = v; }
        int MaxHeight() const { return _settings.maxHeight; }
        void SetMaxHeight(int v) { _settings.maxHeight = v; }
        int MinHorzDockSize() const { return _settings.minHorzDockSize; }
        void SetMinHorzDockSize(int v) { _settings.minHorzDockSize = v; }
        int MinVertDockSize() const { return _settings.minVertDockSize; }
        void SetMinVertDockSize(int v) { _settings.minVertDockSize = v; }
        int MaxHorzDockSize() const { return _settings.maxHorzDockSize; }
        void SetMaxHorzDockSize(int v) { _settings.maxHorzDockSize = v; }
        int MaxVertDockSize() const { return _settings.maxVertDockSize; }
        void SetMaxVertDockSize(int v) { _settings.maxVertDockSize = v; }
        TAppBarTaskEntry TaskEntry() const { return _settings.taskEntry; }
        void SetTaskEntry(TAppBarTaskEntry v) { _settings.taskEntry = v; }
        os::RegRoot RootKey() const { return _rootKey; }
        void SetRootKey(os::RegRoot v) { _rootKey = v; }
        const std::string& KeyName() const { return _keyName; }
        void SetKeyName(const std::string& v) { _keyName = v; }

        // ---- state that is not stored
        TAppBarEdge ProposedEdge() const { return _proposedEdge; }
        bool FullScreenAppOpen() const { return _fullScreenAppOpen; }
        bool AutoHideShown() const { return _autoHideShown; }
        const TAppBarSettings& Settings() const { return _settings; }

        // ---- operations a derived window may override
        // At the end of every edge change (proposed false) and at every step of a
        // user's drag (proposed true, the edge the drag would give).
        virtual void OnAppBarStateChange(bool proposed, TAppBarEdge edge);
        virtual void AutoHideRefused();
        virtual void OnAppBarFullScreenApp(bool open);
        virtual void OnAppBarPosChanged();
        virtual void OnAppBarWindowArrange(bool beginning);
        virtual void UpdateBar();
        // The settings record from the default value of KeyName under RootKey.
        virtual bool LoadSettings();
        virtual bool SaveSettings();
        virtual void ForceTaskbarOnTop();

        os::LRESULT WndProc(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam) override;

        // ---- the component's own steps, open to derived windows and tests
        std::uintptr_t AppBarMessage(os::DWORD msg, TAppBarEdge edge = abeFloat, os::LPARAM lParam = 0, os::Rect* rect = nullptr);
        TAppBarEdge GetAutoHideEdge();
        void GetDockRect(TAppBarEdge edge, os::Rect& rect);
        bool AdjustAutoHideRect(bool show, os::Rect& rect);
        void ShowAutoHide(bool show);
        void SlideWindow(const os::Rect& target);
        TAppBarEdge ProposedEdgeAt(os::Point p);
        void AutoHideTimerTick();
        // The window's style (GWL_STYLE) without `remove` and with `add`, the frame
        // refreshed with `refreshFlags`; false when nothing changed.
        bool ModifyStyle(os::DWORD remove, os::DWORD add, os::UINT refreshFlags);
        forms::Timer* AutoHideTimer() const { return _autoHideTimer.get(); }

      protected:
        void CreateParams(os::WindowParams& params) override;

      private:
        void WMCreate();
        void WMDestroy();
        os::LRESULT WMNCHitTest(os::LPARAM lParam);
        void WMMoving(os::Rect& drag);
        void WMExitSizeMove();
        void WMSizing(int edge, os::Rect& drag);
        void WMGetMinMaxInfo(os::MinMaxInfo& mmi);
        void ApplyTaskEntry(TAppBarEdge edge);
        ScreenFacts Screen();

        TAppBarSettings _settings;
        TAppBarEdge _proposedEdge = abeUnknown;
        bool _fullScreenAppOpen = false;
        bool _autoHideShown = false;
        std::unique_ptr<forms::Timer> _autoHideTimer;
        os::RegRoot _rootKey = os::RegRoot::currentUser;
        std::string _keyName = "Software\\AppBar\\1.4\\TAppBar";
    };
} // namespace appbar
