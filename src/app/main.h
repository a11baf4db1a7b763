// The ticker window: the strip that floats or docks on the desktop.
#pragma once

#include "forms/form.h"

namespace app
{
    // Strip metrics shared by the whole program.
    constexpr int TickerHeight = 25;
    constexpr int GrabWidth = 10;
    constexpr int SponsorWidth = 59;

    class TtickForm : public forms::Form
    {
      public:
        explicit TtickForm(forms::Application& app);
        ~TtickForm() override;

      private:
        void FormCreate();
    };
} // namespace app
