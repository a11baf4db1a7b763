#include "app/main.h"

namespace app
{
    TtickForm::TtickForm(forms::Application& app) : Form(app, "tickForm")
    {
        // The layout: a borderless dark strip designed at 703 by 32 at 100, 100.
        SetCaption("Norvale Desktop Ticker");
        SetBorderStyle(forms::BorderStyle::none);
        SetBorderIcons(false, false, false);
        SetColor(os::Rgb(66, 66, 66));
        SetBounds(100, 100, 703, 32);
        SetConstraints({ 656, 0, 0, 0 });
        FormCreate();
    }

    TtickForm::~TtickForm()
    {
        DestroyHandle();
    }

    void TtickForm::FormCreate()
    {
        // The strip is held at its fixed height; the designed 32 never shows.
        SetConstraints({ 656, TickerHeight, 0, TickerHeight });
    }
} // namespace app
