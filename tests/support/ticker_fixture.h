// A simulated desktop of 1280 by 1024, connected, with the ticker's resources and
// a ticker window that a test starts when its scene is set.
#pragma once

#include "app/content.h"
#include "app/main.h"
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

        ~TickerFixture() override { tick.reset(); }

        app::TtickForm& Start()
        {
            tick = std::make_unique<app::TtickForm>(app, chosen ? *chosen : players);
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
        std::unique_ptr<app::TtickForm> tick;
    };

    inline std::wstring Wide(const std::string& s)
    {
        return std::wstring(s.begin(), s.end());
    }
} // namespace testing_support
