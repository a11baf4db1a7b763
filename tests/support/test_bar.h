// A plain window derived from the desktop toolbar base, on a 1024 by 768 screen
// with the taskbar 30 pixels high at the bottom.
#pragma once

#include "appbar/appbar.h"
#include "support/forms_fixture.h"

namespace testing_support
{
    class TestBar : public appbar::TAppBar
    {
      public:
        explicit TestBar(forms::Application& app, std::string name = "TestBar") : TAppBar(app, std::move(name))
        {
            SetBorderStyle(forms::BorderStyle::none);
            SetBounds(100, 100, 300, 30);
            SetFloatRight(400);
            SetFloatBottom(130);
        }
        ~TestBar() override { DestroyHandle(); }

        void OnAppBarStateChange(bool proposed, appbar::TAppBarEdge edge) override
        {
            changes.push_back({ proposed, edge });
            TAppBar::OnAppBarStateChange(proposed, edge);
        }

        std::vector<std::pair<bool, appbar::TAppBarEdge>> changes;
    };

    class AppBarFixture : public FormsFixture
    {
      protected:
        AppBarFixture()
        {
            desktop.SetScreen(1024, 768);
            desktop.windows.SetPaintCost(0);
        }

        os::Rect WindowRect(forms::Form& f) { return desktop.windows.GetWindowRect(f.Handle()); }
    };
} // namespace testing_support
