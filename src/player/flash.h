// TShockwaveFlash: a player control on a form, with the operations and events
// that the ticker's windows rely on. The control itself comes from a factory, so
// that any player that offers these operations can take its place.
#pragma once

#include "forms/control.h"

#include <functional>
#include <memory>
#include <string>

namespace player
{
    // Makes player controls. Creation answers an HRESULT; a failure is the OLE
    // system error that the caller sees when no player is installed.
    class PlayerFactory
    {
      public:
        virtual ~PlayerFactory() = default;
        virtual os::HResult Create(os::Hwnd parent, const os::Rect& bounds, os::IPlayerEvents& events,
                                   std::unique_ptr<os::IPlayer>& player) = 0;
    };

    // The controls of the system: the player registered with COM.
    class SystemPlayerFactory final : public PlayerFactory
    {
      public:
        explicit SystemPlayerFactory(os::IPlayerFactory& players) : _players(players) {}
        os::HResult Create(os::Hwnd parent, const os::Rect& bounds, os::IPlayerEvents& events,
                           std::unique_ptr<os::IPlayer>& player) override
        {
            return _players.CreatePlayer(parent, bounds, events, player);
        }

      private:
        os::IPlayerFactory& _players;
    };

    class TShockwaveFlash final : public forms::WinControl, private os::IPlayerEvents
    {
      public:
        // Creates the control as a child of its form's window at the given bounds;
        // throws forms::EOleSysError when it cannot be made.
        TShockwaveFlash(forms::Form& owner, std::string name, PlayerFactory& factory, const os::Rect& bounds);
        ~TShockwaveFlash() override;

        // Show in place (the object verb, OLEIVERB_SHOW for -1).
        void DoObjectVerb(int verb);
        std::wstring Movie();
        void SetMovie(const std::wstring& movie);
        void SetMenu(bool menu);
        // The control's display and scripting settings.
        void SetWMode(const std::wstring& mode);
        void SetQuality(const std::wstring& quality);
        void SetPlaying(bool playing);
        void SetLoop(bool loop);
        void SetAllowScriptAccess(const std::wstring& access);
        void SetScale(const std::wstring& scale);
        void Play();
        void Stop();
        void Rewind();
        long FlashVersion();
        void SetVariable(const std::wstring& name, const std::wstring& value);
        std::wstring GetVariable(const std::wstring& name);
        // What the host asks of the stage (our player's; the hosted control ignores it).
        void SetStageState(const os::StageState& state);
        // The user reads the stage with the keyboard: it takes the focus and holds still.
        void StartReading();

        std::function<void(TShockwaveFlash& sender, const std::wstring& command, const std::wstring& args)> OnFSCommand;
        std::function<void(TShockwaveFlash& sender, long percentDone)> OnProgress;
        std::function<void(TShockwaveFlash& sender, long newState)> OnReadyStateChange;
        std::function<void(TShockwaveFlash& sender, const std::wstring& text, const std::wstring& link)> OnHeadline;
        std::function<void(TShockwaveFlash& sender, const std::wstring& key)> OnKey;
        std::function<void(TShockwaveFlash& sender, bool focused)> OnFocusChange;

        // True while one of this control's events is running, nested message loops
        // (a box shown by a handler, the error box) included. The control must not
        // be destroyed then: its owner waits until the event has returned.
        bool InEvent() const { return _eventDepth > 0; }

        void CreateHandle() override;
        void DestroyHandle() override;

      protected:
        os::WindowParams Params() const override { return {}; }

      private:
        void FSCommand(const std::wstring& command, const std::wstring& args) override;
        void Progress(long percentDone) override;
        void ReadyStateChange(long newState) override;
        void Headline(const std::wstring& text, const std::wstring& link) override;
        void Key(const std::wstring& key) override;
        void FocusChange(bool focused) override;
        void Check(os::HResult hr, const char* what) const;
        template <typename F> void Raise(F&& f);

        std::unique_ptr<os::IPlayer> _player;
        int _eventDepth = 0;
    };
} // namespace player
