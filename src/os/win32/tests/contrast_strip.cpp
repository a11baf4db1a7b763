// The ticker movie on the real backend with the stage state that a high-contrast
// theme gives the strip, for the screenshot strip-high-contrast.png
// (tools/a11y-shots.sh). Wine cannot switch such a theme on (SPI_SETHIGHCONTRAST
// fails there and SPI_GETHIGHCONTRAST never says one is on), so this program hands
// our player the state that the strip hands it under Windows' "High Contrast
// Black": a black window, white text, a cyan highlight with black text on it and a
// yellow hot track.
//   contrast_strip MOVIE-ADDRESS [SECONDS]
// Shows the movie's stage at 100,100, 634 by 25 pixels (its size on the strip
// beside the sponsor slot), answers the movie's getchannel and getsponsor by
// fetching the feeds as the strip does, and ends after SECONDS (default 120) or
// when asked to close. Everything goes through the seam.
#include "app/feeds.h"
#include "os/win32/backend.h"
#include "player/movie/movie_player.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace
{
    constexpr os::UINT FetchMessage = os::wm::user + 1;
    constexpr std::uintptr_t EndTimer = 1;

    enum class Fetch
    {
        channel,
        sponsor
    };

    class Strip final : public os::IWindowProcedure, public os::IPlayerEvents
    {
      public:
        explicit Strip(os::Os& os) : _os(os) {}

        os::Hwnd window{};
        std::unique_ptr<os::IPlayer> player;

        os::LRESULT WindowProc(os::Hwnd hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam) override
        {
            switch (msg)
            {
            case FetchMessage: Arrived(static_cast<std::uint32_t>(wParam)); return 0;
            case os::wm::timer:
                if (wParam == EndTimer)
                    _os.windows.PostQuitMessage(0);
                return 0;
            case os::wm::close: _os.windows.PostQuitMessage(0); return 0;
            default: return _os.windows.DefaultProc(hwnd, msg, wParam, lParam);
            }
        }

        void FSCommand(const std::wstring& command, const std::wstring& args) override
        {
            const std::string text = _os.process.WideToAnsi(args);
            if (command == L"getchannel")
                Start(text, Fetch::channel);
            else if (command == L"getsponsor")
                Start(app::SplitSponsorArgs(text).first, Fetch::sponsor);
        }
        void Progress(long) override {}
        void ReadyStateChange(long) override {}

      private:
        void Start(const std::string& url, Fetch kind)
        {
            if (const std::uint32_t id = _os.downloads.Start(url, {}, window, FetchMessage))
                _fetches[id] = kind;
            else
                std::fprintf(stderr, "cannot fetch %s\n", url.c_str());
        }

        void Arrived(std::uint32_t id)
        {
            const auto found = _fetches.find(id);
            os::DownloadStatus status;
            if (found == _fetches.end() || !_os.downloads.Query(id, status) || status.state == os::DownloadStatus::State::running)
                return;
            const Fetch kind = found->second;
            _fetches.erase(found);
            if (status.state == os::DownloadStatus::State::failed || !player)
            {
                std::fprintf(stderr, "a fetch failed: %s\n", status.error.c_str());
                return;
            }
            const std::string body(status.body.begin(), status.body.end());
            if (kind == Fetch::channel)
                player->SetVariable(L"gNewChannel", _os.process.AnsiToWide(app::ChannelValue(body)));
            else
            {
                const auto [link, text] = app::SponsorFields(body);
                player->SetVariable(L"sponsor_url", _os.process.AnsiToWide(link));
                player->SetVariable(L"sponsor_text", _os.process.AnsiToWide(text));
            }
        }

        os::Os& _os;
        std::map<std::uint32_t, Fetch> _fetches;
    };

    // What the strip reads of Windows under "High Contrast Black".
    os::StageState HighContrastBlack()
    {
        os::StageState state;
        state.highContrast = true;
        state.window = os::Rgb(0, 0, 0);
        state.text = os::Rgb(255, 255, 255);
        state.highlight = os::Rgb(26, 235, 255);
        state.highlightText = os::Rgb(0, 0, 0);
        state.hotTrack = os::Rgb(255, 255, 0);
        return state;
    }
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3)
    {
        std::fputs("usage: contrast_strip MOVIE-ADDRESS [SECONDS]\n", stderr);
        return 2;
    }
    const int seconds = argc == 3 ? std::atoi(argv[2]) : 120;
    if (seconds <= 0)
    {
        std::fputs("SECONDS must be a positive number\n", stderr);
        return 2;
    }
    auto backend = os::win32::CreateBackend();
    os::Os& seam = backend->Os();
    Strip strip(seam);
    const os::Rect bounds = os::Rect::FromBounds(100, 100, 634, 25);
    os::WindowParams params;
    params.className = "NorvaleContrastStrip";
    params.text = "Norvale high-contrast strip";
    params.style = os::ws::popup | os::ws::visible;
    params.bounds = bounds;
    strip.window = seam.windows.Create(params, &strip);
    if (strip.window == os::Hwnd{})
    {
        std::fputs("cannot make a window\n", stderr);
        return 1;
    }
    player::MoviePlayerFactory factory(seam);
    if (factory.Create(strip.window, os::Rect::FromBounds(0, 0, bounds.Width(), bounds.Height()), strip, strip.player) !=
        os::hr::ok)
    {
        std::fputs("cannot make the player\n", stderr);
        seam.windows.Destroy(strip.window);
        return 1;
    }
    // The state first, so that the movie starts in the theme's colours.
    strip.player->SetStageState(HighContrastBlack());
    strip.player->SetMovie(seam.process.AnsiToWide(argv[1]));
    seam.windows.SetTimer(strip.window, EndTimer, static_cast<os::UINT>(seconds) * 1000);
    const int code = seam.windows.RunMessageLoop();
    strip.player.reset();
    seam.windows.Destroy(strip.window);
    return code;
}
