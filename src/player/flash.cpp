#include "player/flash.h"

#include "forms/application.h"
#include "forms/exceptions.h"
#include "forms/form.h"

#include <cstdio>

namespace player
{
    namespace
    {
        std::string Describe(const char* what, os::HResult hr)
        {
            char code[16];
            std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(hr));
            return std::string(what) + " failed (OLE error " + code + ")";
        }
    } // namespace

    TShockwaveFlash::TShockwaveFlash(forms::Form& owner, std::string name, PlayerFactory& factory, const os::Rect& bounds)
        : WinControl(owner, std::move(name))
    {
        Control::SetBounds(bounds.left, bounds.top, bounds.Width(), bounds.Height());
        const os::HResult hr = factory.Create(owner.Handle(), bounds, *this, _player);
        if (hr < 0 || !_player)
        {
            _player.reset();
            throw forms::EOleSysError(Describe("Creating the player control", hr), hr);
        }
        AdoptHandle(_player->Window());
    }

    TShockwaveFlash::~TShockwaveFlash()
    {
        DestroyHandle();
    }

    void TShockwaveFlash::CreateHandle()
    {
        // The control's window exists from construction until DestroyHandle.
    }

    void TShockwaveFlash::DestroyHandle()
    {
        ForgetHandle();
        _player.reset(); // the control takes its window with it
    }

    void TShockwaveFlash::Check(os::HResult hr, const char* what) const
    {
        if (hr < 0)
            throw forms::EOleException(Describe(what, hr), hr);
        if (!_player)
            throw forms::EOleException(std::string(what) + ": the player control is gone", os::hr::fail);
    }

    void TShockwaveFlash::DoObjectVerb(int verb)
    {
        Check(_player ? _player->DoVerb(verb) : os::hr::fail, "DoVerb");
    }

    std::wstring TShockwaveFlash::Movie()
    {
        std::wstring movie;
        Check(_player ? _player->GetMovie(movie) : os::hr::fail, "Movie");
        return movie;
    }

    void TShockwaveFlash::SetMovie(const std::wstring& movie)
    {
        Check(_player ? _player->SetMovie(movie) : os::hr::fail, "Movie");
    }
    void TShockwaveFlash::SetMenu(bool menu)
    {
        Check(_player ? _player->SetMenu(menu) : os::hr::fail, "Menu");
    }
    void TShockwaveFlash::SetWMode(const std::wstring& mode)
    {
        Check(_player ? _player->SetProperty(L"WMode", mode) : os::hr::fail, "WMode");
    }
    void TShockwaveFlash::SetQuality(const std::wstring& quality)
    {
        Check(_player ? _player->SetProperty(L"Quality2", quality) : os::hr::fail, "Quality2");
    }
    void TShockwaveFlash::SetPlaying(bool playing)
    {
        Check(_player ? _player->SetProperty(L"Playing", playing) : os::hr::fail, "Playing");
    }
    void TShockwaveFlash::SetLoop(bool loop)
    {
        Check(_player ? _player->SetProperty(L"Loop", loop) : os::hr::fail, "Loop");
    }
    void TShockwaveFlash::SetAllowScriptAccess(const std::wstring& access)
    {
        Check(_player ? _player->SetProperty(L"AllowScriptAccess", access) : os::hr::fail, "AllowScriptAccess");
    }
    void TShockwaveFlash::SetScale(const std::wstring& scale)
    {
        Check(_player ? _player->SetProperty(L"Scale", scale) : os::hr::fail, "Scale");
    }
    void TShockwaveFlash::Play()
    {
        Check(_player ? _player->Play() : os::hr::fail, "Play");
    }
    void TShockwaveFlash::Stop()
    {
        Check(_player ? _player->Stop() : os::hr::fail, "Stop");
    }
    void TShockwaveFlash::SetStageState(const os::StageState& state)
    {
        if (_player)
            _player->SetStageState(state);
    }

    void TShockwaveFlash::StartReading()
    {
        if (_player)
            _player->StartReading();
    }

    void TShockwaveFlash::Rewind()
    {
        Check(_player ? _player->Rewind() : os::hr::fail, "Rewind");
    }

    long TShockwaveFlash::FlashVersion()
    {
        long version = 0;
        Check(_player ? _player->FlashVersion(version) : os::hr::fail, "FlashVersion");
        return version;
    }

    void TShockwaveFlash::SetVariable(const std::wstring& name, const std::wstring& value)
    {
        Check(_player ? _player->SetVariable(name, value) : os::hr::fail, "SetVariable");
    }

    std::wstring TShockwaveFlash::GetVariable(const std::wstring& name)
    {
        std::wstring value;
        Check(_player ? _player->GetVariable(name, value) : os::hr::fail, "GetVariable");
        return value;
    }

    // Events come from inside the player; an error of a handler is shown by the
    // application and never thrown back into the control. The event counts as
    // running until its error box, too, has been answered.
    template <typename F> void TShockwaveFlash::Raise(F&& f)
    {
        struct Depth
        {
            int& depth;
            explicit Depth(int& d) : depth(d) { ++depth; }
            ~Depth() { --depth; }
            Depth(const Depth&) = delete;
            Depth& operator=(const Depth&) = delete;
        } running(_eventDepth);
        try
        {
            f();
        }
        catch (const std::exception& e)
        {
            OwnerForm().App().HandleException(e);
        }
    }

    void TShockwaveFlash::FSCommand(const std::wstring& command, const std::wstring& args)
    {
        if (OnFSCommand)
            Raise([&] { OnFSCommand(*this, command, args); });
    }

    void TShockwaveFlash::Progress(long percentDone)
    {
        if (OnProgress)
            Raise([&] { OnProgress(*this, percentDone); });
    }

    void TShockwaveFlash::ReadyStateChange(long newState)
    {
        if (OnReadyStateChange)
            Raise([&] { OnReadyStateChange(*this, newState); });
    }

    void TShockwaveFlash::Headline(const std::wstring& text, const std::wstring& link)
    {
        if (OnHeadline)
            Raise([&] { OnHeadline(*this, text, link); });
    }

    void TShockwaveFlash::Key(const std::wstring& key)
    {
        if (OnKey)
            Raise([&] { OnKey(*this, key); });
    }

    void TShockwaveFlash::FocusChange(bool focused)
    {
        if (OnFocusChange)
            Raise([&] { OnFocusChange(*this, focused); });
    }
} // namespace player
