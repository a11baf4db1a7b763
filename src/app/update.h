// TUpdateForm: the prompt that offers a new version, a small stay-on-top dialog.
// It is made once at start, hidden until the ticker movie reports a new version,
// and hidden again, not destroyed, when the user answers No.
#pragma once

#include "forms/controls.h"
#include "forms/form.h"
#include "forms/menu.h"

#include <string>

namespace app
{
    class TUpdateForm : public forms::Form
    {
      public:
        explicit TUpdateForm(forms::Application& app);
        ~TUpdateForm() override;

        forms::Image Image1;
        forms::Memo Memo1;
        forms::Button YesButton;
        forms::Button NoButton;
        forms::CheckBox CheckBox1;

        std::string DownloadURL;          // opened by Yes
        forms::MenuItem* Exit1 = nullptr; // the strip's "E&xit", clicked by Yes; set by the program entry

        void FormCreate();
        void Memo1Enter(forms::Control& sender);
        void SaveDontAskSetting();
        void YesButtonClick(forms::Control& sender);
        void NoButtonClick(forms::Control& sender);

      protected:
        void DpiChanged(const os::Rect& suggested) override;

      private:
        void Layout();
    };
} // namespace app
