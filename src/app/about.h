// TAboutForm: the about box, a borderless picture that a click closes.
#pragma once

#include "forms/controls.h"
#include "forms/form.h"

namespace app
{
    class TAboutForm : public forms::Form
    {
      public:
        explicit TAboutForm(forms::Application& app);
        ~TAboutForm() override;

        forms::Panel Panel1;
        forms::Image Image1; // disabled: a click on the picture reaches the panel

        void Panel1Click(forms::Control& sender);

      protected:
        void DpiChanged(const os::Rect& suggested) override;

      private:
        void Layout();
    };
} // namespace app
