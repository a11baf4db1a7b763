// A desktop toolbar on the real shell: registers a bar, docks it at the top of the
// screen and prints every answer the shell gives, then leaves. Run it under Wine or
// Windows: appbar_demo.exe
#include "appbar/appbar.h"
#include "forms/application.h"
#include "os/win32/backend.h"

#include <cstdio>
#include <string>

namespace
{
    const char* Name(os::DWORD msg)
    {
        static const char* names[] = {
            "ABM_NEW",           "ABM_REMOVE",   "ABM_QUERYPOS",       "ABM_SETPOS",         "ABM_GETSTATE",
            "ABM_GETTASKBARPOS", "ABM_ACTIVATE", "ABM_GETAUTOHIDEBAR", "ABM_SETAUTOHIDEBAR", "ABM_WINDOWPOSCHANGED",
            "ABM_SETSTATE"
        };
        return msg < std::size(names) ? names[msg] : "ABM_?";
    }

    // The real shell, with every desktop-toolbar message printed on the way.
    class PrintingShell final : public os::IShell
    {
      public:
        explicit PrintingShell(os::IShell& real) : _real(real) {}

        std::uintptr_t AppBarMessage(os::DWORD msg, os::AppBarData& data) override
        {
            const os::Rect in = data.rc;
            const std::uintptr_t result = _real.AppBarMessage(msg, data);
            std::printf("%-20s edge %u lParam %lld rect %s -> %s, answer %llu\n", Name(msg), data.uEdge,
                        static_cast<long long>(data.lParam), os::ToString(in).c_str(), os::ToString(data.rc).c_str(),
                        static_cast<unsigned long long>(result));
            return result;
        }
        bool NotifyIcon(os::DWORD op, const os::NotifyIconData& data) override { return _real.NotifyIcon(op, data); }
        bool TaskbarAlwaysOnTop() override
        {
            const bool onTop = _real.TaskbarAlwaysOnTop();
            std::printf("taskbar always on top: %s\n", onTop ? "yes" : "no");
            return onTop;
        }
        std::intptr_t Execute(os::Hwnd owner, const std::string& verb, const std::string& file, const std::string& params,
                              const std::string& dir, int show) override
        {
            return _real.Execute(owner, verb, file, params, dir, show);
        }

      private:
        os::IShell& _real;
    };

    class DemoBar final : public appbar::TAppBar
    {
      public:
        explicit DemoBar(forms::Application& app) : TAppBar(app, "DemoBar")
        {
            SetBorderStyle(forms::BorderStyle::none);
            SetColor(os::Rgb(66, 66, 66));
            SetBounds(100, 100, 703, 25);
            SetFloatRight(803);
            SetFloatBottom(125);
            SetHorzDockSize(25);
            SetSlideEffect(false);
        }
        ~DemoBar() override { DestroyHandle(); }
    };
} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    auto backend = os::win32::CreateBackend();
    os::Os& real = backend->Os();
    PrintingShell shell(real.shell);
    os::Os os{ real.windows, real.system, shell, real.registry, real.internet, real.downloads, real.process, real.players };

    auto printWork = [&](const char* when)
    {
        std::printf("work area %s: %s (screen %dx%d)\n", when, os::ToString(os.system.GetWorkArea()).c_str(),
                    os.system.GetSystemMetrics(os::sm::cxscreen), os.system.GetSystemMetrics(os::sm::cyscreen));
    };
    printWork("before");
    int exitCode = 0;
    {
        forms::Application app(os);
        app.Initialize();
        DemoBar bar(app);
        std::printf("-- creating the bar (registers, floats)\n");
        bar.Show();
        app.ProcessMessages();
        std::printf("-- docking at the top\n");
        bar.SetEdge(appbar::abeTop);
        app.ProcessMessages();
        const os::Rect r = os.windows.GetWindowRect(bar.Handle());
        std::printf("bar window after docking: %s, topmost %d\n", os::ToString(r).c_str(),
                    os.windows.IsTopmost(bar.Handle()) ? 1 : 0);
        printWork("while docked");
        if (r.top != 0 || r.Height() != 25)
            exitCode = 1;
        std::printf("-- leaving the shell\n");
    }
    printWork("after");
    std::printf("%s\n", exitCode == 0 ? "docked at the top as asked" : "the bar did not take the docked rectangle");
    return exitCode;
}
