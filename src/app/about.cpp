#include "app/about.h"

#include "forms/jpeg.h"
#include "forms/picture.h"

#include <utility>

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
        Panel1.SetColor(os::Rgb(0, 0, 153));
        Panel1.OnClick = [this](forms::Control& sender)
        {
            Panel1Click(sender);
        };
        Image1.SetAutoSize(true);
        Image1.SetEnabled(false);
        Layout();
        OnClick = [this](forms::Control& sender)
        {
            Panel1Click(sender);
        };
    }

    TAboutForm::~TAboutForm()
    {
        DestroyHandle();
    }

    // The box and its picture at the box's DPI: the picture is drawn at each
    // scale of the artwork, the nearest one shown.
    void TAboutForm::Layout()
    {
        SetClientWidth(Scale(320));
        SetClientHeight(Scale(110));
        Panel1.SetBounds(0, 0, Scale(320), Scale(110));
        Image1.SetBounds(-1, -1, Scale(322), Scale(112));
        os::Bitmap picture = forms::LoadJpegResource(Os().process, forms::ArtworkName("ABOUT", Dpi()));
        if (picture.Empty())
            picture = forms::LoadJpegResource(Os().process, "ABOUT");
        Image1.SetPicture(std::move(picture));
    }

    void TAboutForm::DpiChanged(const os::Rect& suggested)
    {
        Layout();
        Form::DpiChanged(suggested);
    }

    // Hidden, not destroyed: the menu shows it again.
    void TAboutForm::Panel1Click(forms::Control&)
    {
        Close();
    }
} // namespace app
