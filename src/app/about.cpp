#include "app/about.h"

#include "forms/jpeg.h"

namespace app
{
    TAboutForm::TAboutForm(forms::Application& app) : Form(app, "AboutForm"), Panel1(*this, "Panel1"), Image1(*this, "Image1")
    {
        SetCaption("About");
        SetBorderStyle(forms::BorderStyle::none);
        SetBorderIcons(false, false, false);
        SetFormStyle(forms::FormStyle::stayOnTop);
        SetPosition(forms::FormPosition::screenCenter);
        SetColor(os::Rgb(255, 255, 255));
        SetFont({ "MS Sans Serif", -11, false });
        SetClientWidth(320);
        SetClientHeight(110);
        Panel1.SetBounds(0, 0, 320, 110);
        Panel1.SetColor(os::Rgb(0, 0, 153));
        Panel1.OnClick = [this](forms::Control& sender)
        {
            Panel1Click(sender);
        };
        Image1.SetBounds(-1, -1, 322, 112);
        Image1.SetAutoSize(true);
        Image1.SetEnabled(false);
        Image1.SetPicture(forms::LoadJpegResource(Os().process, "ABOUT"));
        OnClick = [this](forms::Control& sender)
        {
            Panel1Click(sender);
        };
    }

    TAboutForm::~TAboutForm()
    {
        DestroyHandle();
    }

    // Hidden, not destroyed: the menu shows it again.
    void TAboutForm::Panel1Click(forms::Control&)
    {
        Close();
    }
} // namespace app
