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
        SetClientWidth(296);
        SetClientHeight(118);

        Image1.SetBounds(10, 10, 32, 32);
        Image1.SetAutoSize(true);

        Memo1.SetBounds(48, 8, 257, 49);
        Memo1.SetLines({ "A new version of the Norvale Desktop Ticker has ", "become available. Would like like to download and ",
                         "install the new version now?" });
        Memo1.SetCursor(forms::cr::arrow);
        Memo1.SetTabOrder(0);
        Memo1.OnEnter = [this](forms::Control& sender)
        {
            Memo1Enter(sender);
        };

        YesButton.SetBounds(48, 88, 75, 25);
        YesButton.SetCaption("&Yes");
        YesButton.SetDefault(true);
        YesButton.SetTabOrder(1);
        YesButton.OnClick = [this](forms::Control& sender)
        {
            YesButtonClick(sender);
        };

        NoButton.SetBounds(133, 88, 75, 25);
        NoButton.SetCaption("&No");
        NoButton.SetCancel(true);
        NoButton.SetTabOrder(2);
        NoButton.OnClick = [this](forms::Control& sender)
        {
            NoButtonClick(sender);
        };

        CheckBox1.SetBounds(48, 59, 257, 17);
        CheckBox1.SetCaption("Don't ask me this again");
        CheckBox1.SetChecked(false);
        CheckBox1.SetTabOrder(3);

        FormCreate();
    }

    TUpdateForm::~TUpdateForm()
    {
        DestroyHandle();
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
