// Movies written as a hostile server would write them (hostile/*.swf), each played
// as the ticker movie of the real strip. Whatever one tries, it ends within its
// limits (a turn's script under a second, its memory under its cap), and the strip
// goes on as for any movie that fails: the watchdog reloads, and the movie the
// server sends next plays.
#include "movies_fixture.h"
#include "player/movie/sandbox.h"

#include <chrono>
#include <fstream>
#include <sstream>

#if defined(__SANITIZE_ADDRESS__)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes(); // the sanitizer's own allocator
#else
#include <malloc.h>
#endif

using movies_test::MoviesFixture;
using player::movie::Sandbox;

namespace
{
    std::string Hostile(const std::string& name)
    {
        std::ifstream in(std::string(HOSTILE_DIR) + "/" + name + ".swf", std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        EXPECT_FALSE(out.str().empty()) << name;
        return out.str();
    }

    // Bytes the process holds on its heap now.
    std::size_t HeapInUse()
    {
#if defined(__SANITIZE_ADDRESS__)
        return __sanitizer_get_current_allocated_bytes();
#else
        return mallinfo2().uordblks;
#endif
    }

    struct Attack
    {
        const char* file;
        const char* stopped; // part of the "stopped: " trace, or null when the movie runs to its end
        const char* last;    // the FS command it sends when it gets to its end, or null
    };

    void PrintTo(const Attack& a, std::ostream* out)
    {
        *out << a.file;
    }

    class HostileTest : public MoviesFixture, public ::testing::WithParamInterface<Attack>
    {
      protected:
        // The hostile movie as the ticker, for the first seconds of the strip.
        void PlayHostile(const std::string& name)
        {
            s.content.Put("ticker4.swf", Hostile(name));
            Sandbox::ResetLongestTurn();
            StartStrip(1000);
        }

        // The server sends the real ticker again: the watchdog's reload plays it.
        void ServerMends()
        {
            s.content.Put("ticker4.swf", real);
            s.Online();
            s.AdvanceTo(10'000);
            EXPECT_EQ(Count("fs", "ticker4.swf: complete success"), 1) << "the strip goes on";
        }

        std::string real = s.content.Files().at("ticker4.swf");
    };
} // namespace

TEST_P(HostileTest, EndsWithinItsLimitsAndTheStripGoesOn)
{
    const Attack& a = GetParam();
    const std::size_t heap = HeapInUse();
    PlayHostile(a.file);

    // A turn ends when its script has had 500 ms of the processor, and by four times
    // that of the clock on a machine too busy to give it them.
    EXPECT_LT(Sandbox::LongestTurn(), std::chrono::milliseconds(2250)) << "the longest turn of its script";
    EXPECT_LT(HeapInUse(), heap + (96u << 20)) << "what the movie holds, the host's share included, is capped";
    const std::string traces = ::testing::PrintToString(s.Texts("trace"));
    if (a.stopped)
    {
        EXPECT_TRUE(s.Has("trace", "movie " + Base() + "ticker4.swf: stopped: " + a.stopped)) << traces;
    }
    else
    {
        EXPECT_FALSE(Stopped()) << traces;
    }
    if (a.last)
    {
        EXPECT_TRUE(s.Has("fs", std::string("ticker4.swf: ") + a.last)) << traces;
    }
    ServerMends();
}

INSTANTIATE_TEST_SUITE_P(Movies, HostileTest,
                         ::testing::Values(
                             // Variables delivered one after the other on one budget, never nested.
                             Attack{ "reentrant_variables", "it ran too long (instruction budget)", nullptr },
                             // C code that the instruction hook does not see: bounded or charged.
                             Attack{ "rep_of_nothing", nullptr, "after 0" }, Attack{ "lying_length", nullptr, "after" },
                             Attack{ "colliding_keys", nullptr, "after" },
                             Attack{ "refused_allocations", "it needed more memory than its cap of 32 MiB", nullptr },
                             Attack{ "long_pattern_sets", "error: movie:5: pattern too costly for a string of 4095 bytes",
                                     nullptr },
                             // What the host keeps for a movie counts against its memory.
                             Attack{ "variables_outside_the_cap", "it needed more memory than its cap of 32 MiB", nullptr },
                             // Numbers without an integer where the host wants one.
                             Attack{ "not_a_number", nullptr, "after 6 200" },
                             // Host calls cost what they cost the host.
                             Attack{ "free_host_calls", "it ran too long (instruction budget)", nullptr },
                             Attack{ "store_writes", "it ran too long (instruction budget)", nullptr }),
                         [](const ::testing::TestParamInfo<Attack>& p) { return std::string(p.param.file); });

TEST_F(HostileTest, AStoreUnderManySpellingsOfOneOriginIsOneStore)
{
    // The movie moves itself to the next spelling with loadmovie: user information,
    // a trailing dot, a port with leading zeros.
    const std::string movie = Hostile("many_origins");
    const std::string path = Base().substr(Base().find('/', 8));
    const char* const hosts[] = { "u%d@127.0.0.1:8421", "U%d@127.0.0.1.:8421", "x%d@127.0.0.1:0008421",
                                  "y%d:p@127.0.0.1.:08421" };
    for (int n = 0; n < 40; ++n)
    {
        char host[64];
        std::snprintf(host, sizeof host, hosts[n % 4], n);
        s.desktop.downloads.Serve("http://" + std::string(host) + path + "ticker4.swf?n=" + std::to_string(n + 1),
                                  os::sim::DownloadResponse::Body(movie));
    }
    PlayHostile("many_origins");
    s.Advance(2000);
    const auto urls = s.desktop.downloads.Urls();
    EXPECT_EQ(std::count(urls.begin(), urls.end(), "http://y39:p@127.0.0.1.:08421" + path + "ticker4.swf?n=40"), 1)
        << "it went through every spelling";
    const auto origins = s.desktop.registry.ValueNames(os::RegRoot::currentUser, "Software\\Norvale\\Vodazovovarar\\Movies");
    EXPECT_EQ(origins, std::vector<std::string>{ "http://127.0.0.1:8421" });
    ServerMends();
}

TEST_F(HostileTest, AMovieReadsTextOnlyFromItsOwnOriginAndPicturesFromAnywhere)
{
    s.desktop.downloads.Serve("http://127.0.0.1:8422/elsewhere.txt", os::sim::DownloadResponse::Body("secret"));
    s.desktop.downloads.Serve(Base() + "moved.txt", os::sim::DownloadResponse::Redirect("http://192.168.1.1/"));
    PlayHostile("intranet_read");
    EXPECT_TRUE(s.Has("fs", "ticker4.swf: start nil nil nil true true true"));
    EXPECT_TRUE(s.Has("fs", "ticker4.swf: read redirected false redirected to another address"));
    EXPECT_TRUE(s.Has("fs", "ticker4.swf: read own origin true nil"));
    const auto urls = s.desktop.downloads.Urls();
    for (const char* never :
         { "http://192.168.1.1/", "http://127.0.0.1:8422/elsewhere.txt", "http://intranet.example/secret.txt" })
        EXPECT_EQ(std::count(urls.begin(), urls.end(), never), 0) << never;
    EXPECT_EQ(std::count(urls.begin(), urls.end(), "http://192.168.1.1/logo.jpg"), 1) << "a picture may come from anywhere";
    ServerMends();
}

TEST_F(HostileTest, NoBoxOpensInsideAnotherAndNoCallbackRunsInsideAnother)
{
    int open = 0;
    int deepest = 0;
    int boxes = 0;
    s.desktop.windows.onMessageBox = [&](const os::sim::MessageBoxCall&)
    {
        ++boxes;
        deepest = std::max(deepest, ++open);
        s.desktop.Advance(100); // the box's own loop runs the timers meanwhile
        --open;
        return os::id::ok;
    };
    PlayHostile("nested_boxes");
    EXPECT_GT(boxes, 3);
    EXPECT_EQ(deepest, 1);
    s.desktop.windows.onMessageBox = [](const os::sim::MessageBoxCall&)
    {
        return os::id::ok;
    };
    ServerMends();
}

TEST_F(HostileTest, AfterExitTheScriptDoesNotGoOn)
{
    PlayHostile("after_exit");
    EXPECT_TRUE(s.Has("fs", "ticker4.swf: exit"));
    EXPECT_TRUE(s.desktop.windows.QuitRetrieved() || s.desktop.windows.QuitPosted()) << "the program quits";
    EXPECT_FALSE(s.Has("box", "Information: still running after exit"));
    EXPECT_FALSE(s.Has("fs", "ticker4.swf: after"));
}
