#include "app/update.h"

#include "app/settings.h"
#include "app/url.h"
#include "forms/application.h"
#include "forms/registry.h"

namespace app
{
    TUpdateForm::TUpdateForm(forms::Application& app)
        : Form(app, "UpdateForm"), Image1(*this, "Image1"), Memo1(*this, "Memo1"), YesButton(*this, "YesButton"),
          NoButton(*this, "NoButton"), CheckBox1(*this, "CheckBox1")
    {
        SetCaption("New version available");
        SetBorderStyle(forms::BorderStyle::dialog);
        SetBorderIcons(false, false, false);
        SetFormStyle(forms::FormStyle::stayOnTop);
        SetPosition(forms::FormPosition::screenCenter);
        SetColor(Os().system.GetSysColor(os::color::btnface));
        SetFont({ "MS Sans Serif", -11, false });
        Layout();
        Image1.SetAutoSize(true);

        Memo1.SetLines({ "A new version of the Norvale Desktop Ticker has ", "become available. Would like like to download and ",
                         "install the new version now?" });
        Memo1.SetCursor(forms::cr::arrow);
        Memo1.SetTabOrder(0);
        Memo1.OnEnter = [this](forms::Control& sender)
        {
            Memo1Enter(sender);
        };

        YesButton.SetCaption("&Yes");
        YesButton.SetDefault(true);
        YesButton.SetTabOrder(1);
        YesButton.OnClick = [this](forms::Control& sender)
        {
            YesButtonClick(sender);
        };

        NoButton.SetCaption("&No");
        NoButton.SetCancel(true);
        NoButton.SetTabOrder(2);
        NoButton.OnClick = [this](forms::Control& sender)
        {
            NoButtonClick(sender);
        };

        CheckBox1.SetCaption("Don't ask me this again");
        CheckBox1.SetChecked(false);
        CheckBox1.SetTabOrder(3);

        FormCreate();
    }

    TUpdateForm::~TUpdateForm()
    {
        DestroyHandle();
    }

    // The layout's 96-dpi lengths at the prompt's DPI.
    void TUpdateForm::Layout()
    {
        SetClientWidth(Scale(296));
        SetClientHeight(Scale(118));
        Image1.SetBounds(Scale(10), Scale(10), Scale(32), Scale(32));
        Memo1.SetBounds(Scale(48), Scale(8), Scale(257), Scale(49));
        YesButton.SetBounds(Scale(48), Scale(88), Scale(75), Scale(25));
        NoButton.SetBounds(Scale(133), Scale(88), Scale(75), Scale(25));
        CheckBox1.SetBounds(Scale(48), Scale(59), Scale(257), Scale(17));
    }

    // The place Windows suggests; the client area the layout's at the new scale,
    // whatever frame the suggestion counted with.
    void TUpdateForm::DpiChanged(const os::Rect& suggested)
    {
        Form::DpiChanged(suggested);
        Layout();
    }

    void TUpdateForm::FormCreate()
    {
        Image1.SetIcon(Os().windows.LoadSystemIcon(os::idi::question));
    }

    // The text never holds a caret: the focus moves on to Yes.
    void TUpdateForm::Memo1Enter(forms::Control&)
    {
        YesButton.SetFocus();
    }

    void TUpdateForm::SaveDontAskSetting()
    {
        forms::Registry reg(Os().registry);
        if (reg.OpenKey(SettingsKey, true))
            reg.WriteInteger("dontaskupdate", CheckBox1.Checked() ? 1 : 0);
    }

    // Opens the download and quits, so that the new version can be installed. The
    // address came from the network: it is opened only when it is a web address.
    void TUpdateForm::YesButtonClick(forms::Control&)
    {
        SaveDontAskSetting();
        if (IsWebUrl(DownloadURL))
            Os().shell.Execute(App().Handle(), "open", DownloadURL, "", "", os::sw::shownormal);
        if (Exit1)
            Exit1->Click();
    }

    void TUpdateForm::NoButtonClick(forms::Control&)
    {
        SaveDontAskSetting();
        Close();
    }
} // namespace app
