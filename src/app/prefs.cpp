#include "app/prefs.h"

#include "app/content.h"
#include "app/main.h"
#include "forms/application.h"
#include "forms/exceptions.h"
#include "forms/picture.h"

#include <functional>

namespace app
{
    namespace
    {
        constexpr int PanelWidth = 690;
        constexpr int PanelHeight = 352;
        constexpr int OpeningStep = 30;
        constexpr int WaitTicks = 10;
    } // namespace

    int Snap(int proposed, int target, int distance)
    {
        return target - distance <= proposed && proposed < target + distance ? target : proposed;
    }

    TprefsForm::TprefsForm(forms::Application& app, player::PlayerFactory& players, TtickForm& tick)
        : Form(app, "prefsForm"), grab(*this, "grab"), LoadLabel(*this, "LoadLabel"), Timer1(app, "Timer1"),
          OpenTimer(app, "OpenTimer"), _tick(tick)
    {
        SetBorderStyle(forms::BorderStyle::none);
        SetBorderIcons(false, false, false);
        SetColor(os::Rgb(66, 66, 66));
        SetFont({ "MS Sans Serif", -11, false });
        // Never seen: the panel is placed before it shows.
        SetBounds(379, 199, Scale(PanelWidth), Scale(PanelHeight));

        grab.SetEnabled(false);
        LoadLabel.SetCaption("Loading");
        LoadLabel.SetFont({ "Tahoma", -11, false });
        LoadLabel.SetFontColor(os::Rgb(255, 255, 255));
        LoadLabel.SetColor(os::Rgb(66, 66, 66));
        LoadLabel.SetEnabled(false); // the whole surface drags the panel

        Timer1.SetEnabled(false);
        Timer1.SetInterval(20);
        Timer1.SetOnTimer([this](forms::Timer& t) { Timer1Timer(t); });
        OpenTimer.SetEnabled(false);
        OpenTimer.SetInterval(1000);
        OpenTimer.SetOnTimer([this](forms::Timer& t) { OpenTimerTimer(t); });

        OnShow = [this](forms::Form&)
        {
            FormShow();
        };
        OnClose = [this](forms::Form&, forms::CloseAction&)
        {
            FormClose();
        };

        prefsFlash = std::make_unique<player::TShockwaveFlash>(*this, "prefsFlash", players,
                                                               os::Rect::FromBounds(Scale(1), Scale(1), Scale(680), Scale(350)));
        prefsFlash->OnFSCommand = [this](player::TShockwaveFlash& sender, const std::wstring& command, const std::wstring& args)
        {
            prefsFlashFSCommand(sender, command, args);
        };
        LayoutForScale();
        ApplyStoredSettings();
        prefsFlash->Hide();
    }

    // The control's settings stored with the panel's layout. A control that refuses one
    // (an older player without it) plays on with its own default for it.
    void TprefsForm::ApplyStoredSettings()
    {
        const std::function<void()> settings[] = {
            [this] { prefsFlash->SetWMode(L"Window"); },  [this] { prefsFlash->SetQuality(L"High"); },
            [this] { prefsFlash->SetPlaying(true); },     [this] { prefsFlash->SetLoop(true); },
            [this] { prefsFlash->SetMenu(true); },        [this] { prefsFlash->SetAllowScriptAccess(L"always"); },
            [this] { prefsFlash->SetScale(L"ShowAll"); },
        };
        for (const auto& apply : settings)
        {
            try
            {
                apply();
            }
            catch (const forms::EOleException& e)
            {
                _tick.Trace(std::string("prefsFlash: ") + e.what());
            }
        }
    }

    void TprefsForm::LayoutForScale()
    {
        grab.SetBounds(Scale(681), Scale(1), Scale(9), Scale(350));
        grab.SetPicture(forms::LoadArtwork(Os().process, "PREFSGRAB", Dpi()));
        // Wide enough for the dots of a long wait and for "Could not connect".
        LoadLabel.SetBounds(Scale(13), Scale(7), Scale(120), Scale(13));
    }

    // The panel keeps its place and takes the size Windows suggests, its width the
    // panel's at the new DPI (an opening panel goes on from the suggested height).
    void TprefsForm::DpiChanged(const os::Rect& suggested)
    {
        LayoutForScale();
        prefsFlash->SetBounds(Scale(1), Scale(1), Scale(680), Scale(350));
        Form::DpiChanged(os::Rect::FromBounds(suggested.left, suggested.top, Scale(PanelWidth), suggested.Height()));
    }

    TprefsForm::~TprefsForm()
    {
        if (_tick.PrefsForm == this)
            _tick.PrefsForm = nullptr; // the strip outlives the panel
        DestroyHandle();
        prefsFlash.reset();
    }

    int TprefsForm::SlotTop()
    {
        return Above ? _tick.Top() - Height() : _tick.Top() + _tick.Height();
    }

    // ------------------------------------------------------------------ showing and the opening steps

    void TprefsForm::FormShow()
    {
        SetClientHeight(0);
        if (Top() > _tick.Top())
        {
            Above = false;
            SetTop(_tick.Top() + _tick.Height());
            _tick.Trace("PrefsForm Show: BELOW");
        }
        else
        {
            Above = true;
            SetTop(_tick.Top());
            _tick.Trace("PrefsForm Show: ABOVE");
        }
        _tick.Trace(Above ? "ABOVE IS TRUE" : "ABOVE IS FALSE");
        prefsFlash->Hide();
        LoadLabel.SetCaption("Loading");
        LoadLabel.Show();
        Timer1.SetEnabled(true);
    }

    void TprefsForm::Timer1Timer(forms::Timer&)
    {
        const int full = Scale(PanelHeight);
        const int step = Scale(OpeningStep);
        if (ClientHeight() < full - step)
        {
            SetClientHeight(ClientHeight() + step);
            if (Above)
                SetTop(Top() - step); // the bottom edge stays on the strip's top edge
            Repaint();
            return;
        }
        SetClientHeight(full);
        Repaint();
        if (Above)
            SetTop(_tick.Top() - full);
        Timer1.SetEnabled(false);
        prefsFlash->SetBounds(prefsFlash->Left(), prefsFlash->Top(), ClientWidth() - Scale(10), ClientHeight() - Scale(2));
        const std::wstring base = Os().process.AnsiToWide(ContentBaseUrl());
        prefsFlash->SetMovie(base + L"faketickerstart.swf");
        prefsFlash->SetMovie(base + L"prefs4.swf");
        prefsFlash->Show();
        prefsFlash->Play();
        WaitCount = 0;
        OpenTimer.SetEnabled(true);
    }

    void TprefsForm::OpenTimerTimer(forms::Timer&)
    {
        ++WaitCount;
        LoadLabel.SetCaption(LoadLabel.Caption() + ".");
        if (WaitCount < WaitTicks)
            return;
        LoadLabel.SetCaption("Could not connect");
        OpenTimer.SetEnabled(false);
        WaitCount = 0;
        App().MessageBox("Sorry, Norvale cannot download the News Preferences at present.\r\nPlease try again later.", "Warning",
                         os::mb::ok | os::mb::iconwarning);
        Close();
    }

    // ------------------------------------------------------------------ the movie

    void TprefsForm::prefsFlashFSCommand(player::TShockwaveFlash&, const std::wstring& command, const std::wstring& args)
    {
        if (command == L"trace")
            _tick.Trace(Os().process.WideToAnsi(args));
        if (command == L"preferences" && args == L"done")
        {
            Close();
            _tick.Reload();
        }
        if (command == L"preferences" && args == L"cancel")
            Close();
        if (command == L"preferences" && args == L"loaded")
        {
            OpenTimer.SetEnabled(false);
            LoadLabel.Hide();
            prefsFlash->SetBounds(prefsFlash->Left(), prefsFlash->Top(), Scale(680), Scale(350));
            prefsFlash->DoObjectVerb(os::oleiverb::show);
            prefsFlash->Show();
            if (!ChannelCode.empty())
            {
                auto& process = Os().process;
                prefsFlash->SetVariable(L"new_channel_code", process.AnsiToWide(ChannelCode));
                prefsFlash->SetVariable(L"new_channel_name", process.AnsiToWide(ChannelName));
                ChannelCode.clear();
                ChannelName.clear();
            }
        }
    }

    void TprefsForm::SetChannelInfo(const std::string& info)
    {
        const auto bars = info.find("||");
        if (bars == std::string::npos)
            return;
        ChannelCode = info.substr(0, bars);
        ChannelName = info.substr(bars + 2);
    }

    void TprefsForm::FormClose()
    {
        // Both timers stop: a wait left running would warn about a panel that the
        // user has already closed.
        Timer1.SetEnabled(false);
        OpenTimer.SetEnabled(false);
        prefsFlash->Stop();
        prefsFlash->Rewind();
        prefsFlash->SetMovie(L"nomovie.swf");
    }

    void TprefsForm::Paint(os::ICanvas& canvas)
    {
        Form::Paint(canvas);
        canvas.FrameRect({ 0, 0, ClientWidth() + 1, ClientHeight() }, Color());
    }

    // ------------------------------------------------------------------ moving and snapping

    os::LRESULT TprefsForm::WndProc(os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
    {
        switch (msg)
        {
        case os::wm::nchittest: return os::ht::caption; // the whole surface drags the panel
        case os::wm::windowposchanging: WindowPosChanging(*reinterpret_cast<os::WindowPos*>(lParam)); break;
        case os::wm::windowposchanged: WindowPosChanged(*reinterpret_cast<const os::WindowPos*>(lParam)); break;
        default: break;
        }
        return Form::WndProc(msg, wParam, lParam);
    }

    // Before a move: back into the slot when dropped within the snap distance of it.
    void TprefsForm::WindowPosChanging(os::WindowPos& pos)
    {
        if (pos.flags & os::swp::nomove)
            return; // where it stands is not changing
        const int slot = SlotTop();
        const int distance = Scale(SnapDistance);
        pos.y = Snap(pos.y, slot, distance);
        if (pos.y == slot)
            pos.x = Snap(pos.x, _tick.Left(), distance);
    }

    // After a move: attached only in the slot; above when its middle is not below the
    // strip's top. The slot and height are those before the move (the stored bounds
    // follow in the default handling).
    void TprefsForm::WindowPosChanged(const os::WindowPos& pos)
    {
        const bool moved = (pos.flags & os::swp::nomove) == 0;
        const int left = moved ? pos.x : Left();
        const int top = moved ? pos.y : Top();
        const int slot = SlotTop();
        Attached = left == _tick.Left() && top == slot;
        Above = 2 * top + Height() <= 2 * _tick.Top();
    }
} // namespace app
