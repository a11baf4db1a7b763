// Our movie player on the real backend: a message box shown from inside the movie's
// FS command runs a message loop of its own, which dispatches the thread's timers,
// the movie's among them; none of them runs the movie's script inside the command.
#include "os/win32/backend.h"
#include "player/movie/movie_player.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
    constexpr char Caption[] = "Norvale box test";
    std::atomic<bool> underBox{ false };
    std::atomic<int> timersUnderBox{ 0 };

    void CALLBACK CountTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        if (underBox)
            ++timersUnderBox;
    }

    struct Host final : os::IPlayerEvents
    {
        std::vector<std::string> commands;
        void FSCommand(const std::wstring& command, const std::wstring&) override
        {
            const std::string c(command.begin(), command.end());
            commands.push_back(c);
            if (c != "box")
                return;
            // Someone presses OK a little later; meanwhile the box's loop runs.
            std::thread(
                []
                {
                    for (int i = 0; i < 100; ++i)
                    {
                        Sleep(50);
                        if (HWND box = FindWindowA(nullptr, Caption); box && i >= 8)
                        {
                            PostMessageA(box, WM_COMMAND, IDOK, 0);
                            return;
                        }
                    }
                })
                .detach();
            underBox = true;
            MessageBoxA(nullptr, "under the box", Caption, MB_OK | MB_TASKMODAL);
            underBox = false;
        }
        void Progress(long) override {}
        void ReadyStateChange(long) override {}
    };
} // namespace

TEST(MovieUnderABox, TheBoxRunsTheTimersButNotTheMoviesScript)
{
    auto backend = os::win32::CreateBackend();
    os::Os& os = backend->Os();
    char folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, folder), 0u);
    const std::string path = std::string(folder) + "norvale_box_test.swf";
    {
        std::ofstream out(path, std::ios::binary);
        out << "--!movie 1\n"
               "local inside = false\n"
               "stage.every(10, function() fscommand(inside and 'nested' or 'tick') end)\n"
               "stage.after(100, function() inside = true fscommand('box') inside = false fscommand('back') end)\n";
    }
    os::WindowParams params;
    params.className = "NorvaleBoxTestHost";
    params.style = os::ws::popup | os::ws::visible;
    params.bounds = os::Rect::FromBounds(0, 0, 300, 25);
    const os::Hwnd window = os.windows.Create(params, nullptr);
    ASSERT_NE(window, os::Hwnd{});
    Host host;
    player::MoviePlayerFactory factory(os);
    std::unique_ptr<os::IPlayer> player;
    ASSERT_EQ(factory.Create(window, os::Rect::FromBounds(0, 0, 300, 25), host, player), os::hr::ok);
    const UINT_PTR counter = SetTimer(nullptr, 0, 10, CountTimer);
    player->SetMovie(std::wstring(path.begin(), path.end()));

    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    MSG msg;
    while (std::chrono::steady_clock::now() < until &&
           std::find(host.commands.begin(), host.commands.end(), "back") == host.commands.end())
    {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        else
            Sleep(1);
    }
    KillTimer(nullptr, counter);
    player.reset();
    os.windows.Destroy(window);
    DeleteFileA(path.c_str());

    EXPECT_NE(std::find(host.commands.begin(), host.commands.end(), "back"), host.commands.end());
    EXPECT_GT(timersUnderBox.load(), 5) << "the box's own loop dispatched the thread's timers";
    EXPECT_EQ(std::count(host.commands.begin(), host.commands.end(), "nested"), 0);
    EXPECT_GT(std::count(host.commands.begin(), host.commands.end(), "tick"), 3);
}
