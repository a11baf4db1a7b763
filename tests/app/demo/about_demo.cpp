// The about box on the real desktop: shows it, reports the size of its decoded
// picture, and closes it after a few seconds (or at the first click).
//   about_demo.exe [seconds]
#include "app/about.h"
#include "forms/application.h"
#include "forms/timer.h"
#include "os/win32/backend.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 2;
    auto backend = os::win32::CreateBackend();
    forms::Application app(backend->Os());
    app.Initialize();
    app.SetTitle("Norvale Desktop Ticker");
    app::TAboutForm about(app); // the only form, so closing it ends the program
    const os::Bitmap& picture = about.Image1.Picture();
    std::printf("about picture %dx%d\n", picture.width, picture.height);
    forms::Timer timer(app, "CloseTimer");
    timer.SetInterval(static_cast<os::UINT>(seconds * 1000));
    timer.SetOnTimer([&](forms::Timer&) { about.Close(); });
    about.Show();
    app.Run();
    const bool ok = picture.width == 322 && picture.height == 112;
    std::printf("%s\n", ok ? "the artwork decoded" : "the artwork did not decode");
    return ok ? 0 : 1;
}
