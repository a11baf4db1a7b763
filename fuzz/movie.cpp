// A movie from the network: any text after the signature line is compiled and run
// in the sandbox, then gets a frame, a pointer event, its timers and its loads.
// Whatever the script does, every entry must end within the movie's limits.
#include "player/movie/movie.h"
#include "check.h"
#include "os/sim/registry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
    class Host final : public player::movie::StageHost
    {
      public:
        std::vector<std::uint32_t> timers;
        std::vector<std::uint32_t> loads;
        void FSCommand(const std::wstring&, const std::wstring&) override {}
        void Redraw() override {}
        void Animate(bool) override {}
        void StartTimer(std::uint32_t id, unsigned) override { timers.push_back(id); }
        void StopTimer(std::uint32_t) override {}
        os::Size StageSize() override { return { 703, 25 }; }
        os::Size Measure(const std::wstring& text, const os::Font&) override { return { static_cast<int>(text.size()) * 6, 13 }; }
        os::Bitmap Render(os::Size size, const std::function<void(os::ICanvas&)>& paint) override
        {
            struct Nowhere final : os::ICanvas
            {
                void FillRect(const os::Rect&, os::Color) override {}
                void FrameRect(const os::Rect&, os::Color) override {}
                void DrawBitmap(int, int, const os::Bitmap&) override {}
                void DrawString(const std::string&, const os::Rect&, const os::Font&, os::Color, os::UINT) override {}
                void DrawIcon(int, int, os::IconHandle) override {}
                void DrawWideText(int, int, const std::wstring&, const os::Font&, os::Color) override {}
            } canvas;
            paint(canvas);
            os::Bitmap b;
            b.width = size.cx;
            b.height = size.cy;
            b.pixels.resize(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
            return b;
        }
        void SetCursor(bool) override {}
        bool StartLoad(std::uint32_t id, const std::string&, std::size_t, bool) override
        {
            loads.push_back(id);
            return true;
        }
        void CancelLoad(std::uint32_t) override {}
        void Trace(const std::string&) override {}
        std::uint64_t Milliseconds() override { return ++now; }
        std::uint64_t ProcessorMicroseconds() override { return 0; }
        std::uint64_t now = 0;
    };
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Small limits keep one run short; the limits' enforcement is the same at any size.
    player::movie::Limits limits;
    limits.memory = 4u << 20;
    limits.instructions = 200'000;
    Host host;
    os::sim::SimRegistry registry;
    const std::string script = std::string("--!movie 1\n") + std::string(reinterpret_cast<const char*>(data), size);
    {
        player::movie::Movie movie(host, registry, "http://127.0.0.1/movies/fuzz.swf", limits);
        if (movie.Compile(script) && movie.Run())
        {
            movie.Frame(40);
            movie.Pointer("move", 5, 5);
            movie.SetVariable("text", "headline");
            // Only the first ones: a script that starts a timer from its timer would
            // otherwise keep this loop going.
            for (std::size_t i = 0; i < host.timers.size() && i < 8; ++i)
                movie.Timer(host.timers[i]);
            for (std::size_t i = 0; i < host.loads.size() && i < 8; ++i)
                movie.LoadFinished(host.loads[i], i % 2 == 0, std::vector<std::uint8_t>(data, data + size), "refused");
        }
        FUZZ_CHECK(movie.MemoryUsed() <= limits.memory);
    }
    // Whatever the movie stored, its registry keys were all closed again.
    FUZZ_CHECK(registry.OpenHandles() == 0);
    return 0;
}
