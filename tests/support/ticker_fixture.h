// A simulated desktop of 1280 by 1024, connected, with the ticker's resources and
// a ticker window that a test starts when its scene is set.
#pragma once

#include "app/content.h"
#include "app/main.h"
#include "app/prefs.h"
#include "forms/application.h"
#include "player/flash.h"
#include "support/forms_fixture.h"
#include "support/program_resources.h"

#include <memory>

namespace testing_support
{
    class TickerFixture : public FormsFixture
    {
      protected:
        TickerFixture()
        {
            desktop.SetScreen(1280, 1024);
            desktop.windows.SetPaintCost(0);
            AddProgramResources(desktop.process);
            app.Initialize();
            app.SetTitle("Norvale Desktop Ticker");
            app.SetShowMainForm(false);
        }

        ~TickerFixture() override { Close(); }

        // Destroys the windows as the program does at its end: the panel before the strip.
        void Close()
        {
            prefs.reset();
            tick.reset();
        }

        // The strip, and the preferences panel when a player exists, as the program makes them.
        app::TtickForm& Start()
        {
            player::PlayerFactory& factory = chosen ? *chosen : players;
            tick = std::make_unique<app::TtickForm>(app, factory);
            if (!tick->FlashMissing && withPanel)
            {
                prefs = std::make_unique<app::TprefsForm>(app, factory, *tick);
                tick->PrefsForm = prefs.get();
            }
            return *tick;
        }

        // The player record behind a control of the strip.
        os::sim::PlayerRecord& Record(const std::unique_ptr<player::TShockwaveFlash>& control)
        {
            auto record = desktop.players.ByWindow(control->Handle());
            if (!record)
                throw std::logic_error("no player behind this control");
            return *record;
        }
        os::sim::PlayerRecord& Ticker() { return Record(tick->Flash); }

        os::Rect ChildRect(const std::unique_ptr<player::TShockwaveFlash>& control)
        {
            const os::Rect r = desktop.windows.GetWindowRect(control->Handle());
            const os::Point o = desktop.windows.ClientToScreen(tick->Handle(), { 0, 0 });
            return r.Offset(-o.x, -o.y);
        }

        bool StripVisible() { return tick->HandleAllocated() && desktop.windows.IsWindowVisible(tick->Handle()); }
        bool HasTrayIcon() { return tick && desktop.shell.TrayIcon(tick->Handle(), app::TrayIconId).has_value(); }

        player::SystemPlayerFactory players{ desktop.players };
        player::PlayerFactory* chosen = nullptr; // another factory than the hosted control's
        bool withPanel = true;                   // false: only the strip's two controls exist
        std::unique_ptr<app::TtickForm> tick;
        std::unique_ptr<app::TprefsForm> prefs;
    };

    inline std::wstring Wide(const std::string& s)
    {
        return std::wstring(s.begin(), s.end());
    }
} // namespace testing_support
