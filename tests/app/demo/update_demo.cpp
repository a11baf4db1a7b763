// The update prompt on the real desktop: shows it, reports its client size and
// whether it stays on top, and closes it after a few seconds (or at No, Esc or Yes).
//   update_demo.exe [seconds]
#include "app/update.h"
#include "forms/application.h"
#include "forms/timer.h"
#include "os/win32/backend.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 8;
    auto backend = os::win32::CreateBackend();
    forms::Application app(backend->Os());
    app.Initialize();
    app.SetTitle("Norvale Desktop Ticker");
    app::TUpdateForm update(app); // the only form, so closing it ends the program
    forms::Timer timer(app, "CloseTimer");
    timer.SetInterval(static_cast<os::UINT>(seconds * 1000));
    timer.SetOnTimer([&](forms::Timer&) { update.Close(); });
    update.Show();
    const os::Rect client = backend->Os().windows.GetClientRect(update.Handle());
    const bool onTop = backend->Os().windows.IsTopmost(update.Handle());
    std::printf("update prompt client %dx%d, %s\n", client.Width(), client.Height(), onTop ? "on top" : "not on top");
    app.Run();
    const bool ok = client.Width() == 296 && client.Height() == 118 && onTop;
    std::printf("%s\n", ok ? "the prompt has its laid-out shape" : "the prompt is misshapen");
    return ok ? 0 : 1;
}
