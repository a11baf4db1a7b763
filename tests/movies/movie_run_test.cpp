// movie-run's command line and a run of the real movies through it.
#include "run.h"
#include "session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

using movierun::ParseArguments;

TEST(MovieRunTest, TheCommandLineIsReadStrictly)
{
    const auto ok = ParseArguments({ "a", "--time", "1500", "--click", "100:5,6", "--set", "200:x=a=b", "--offline", "10-20",
                                     "--movie", "prefs4.swf", "--size", "300x200", "--paint-every", "50", "--first-run", "b" });
    ASSERT_TRUE(ok.options);
    const auto& o = *ok.options;
    EXPECT_EQ(o.folders, (std::vector<std::string>{ "a", "b" }));
    EXPECT_EQ(o.install, "a") << "the first folder by default";
    EXPECT_EQ(o.timeMs, 1500u);
    ASSERT_EQ(o.clicks.size(), 1u);
    EXPECT_EQ(o.clicks[0].at, 100u);
    EXPECT_EQ(o.clicks[0].x, 5);
    EXPECT_EQ(o.clicks[0].y, 6);
    ASSERT_EQ(o.sets.size(), 1u);
    EXPECT_EQ(o.sets[0].name, "x");
    EXPECT_EQ(o.sets[0].value, "a=b");
    ASSERT_EQ(o.outages.size(), 1u);
    EXPECT_EQ(o.outages[0].to, 20u);
    EXPECT_EQ(o.movie, "prefs4.swf");
    EXPECT_EQ(o.width, 300);
    EXPECT_EQ(o.height, 200);
    EXPECT_EQ(o.paintEvery, 50u);
    EXPECT_TRUE(o.firstRun);

    const auto help = ParseArguments({ "--help" });
    EXPECT_FALSE(help.options);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.message.find(movierun::Session::Base()), std::string::npos);
    for (const std::vector<std::string>& bad : { std::vector<std::string>{},
                                                 { "a", "--time" },
                                                 { "a", "--time", "12x" },
                                                 { "a", "--click", "5:1" },
                                                 { "a", "--offline", "20-10" },
                                                 { "a", "--size", "0x10" },
                                                 { "a", "--set", "5:=v" },
                                                 { "a", "--paint-every", "0" },
                                                 { "a", "--frobnicate", "1" },
                                                 { "a", "--time", "604800001" } })
    {
        const auto p = ParseArguments(bad);
        EXPECT_FALSE(p.options);
        EXPECT_EQ(p.exitCode, 2);
    }
}

// The server is down at the start; the strip's watchdog reloads after 7 s and
// the movies play by the end of the run.
TEST(MovieRunTest, ARunPrintsTheTraceOfTheRealMoviesAndAMissingFolderIsAnError)
{
    const auto parsed =
        ParseArguments({ CONTENT_DIR, SERVED_DIR, "--time", "9500", "--offline", "0-1000", "--paint-every", "7000" });
    ASSERT_TRUE(parsed.options);
    std::ostringstream out, err;
    EXPECT_EQ(movierun::Run(*parsed.options, out, err), 0);
    const std::string trace = out.str();
    const std::string base = movierun::Session::Base();
    const std::vector<std::string> expected{
        "        0 ms  load   " + base + "faketickerstart.swf (not served)\n",
        "        0 ms  label  Connecting to Norvale...\n",
        "     7000 ms  paint  (no text)\n",
        "  ready  ticker4.swf\n",
        // The channel and sponsor answers come after the commands, as messages: the
        // movie has asked for its headlines by then.
        "  load   " + base + "headlines/uk-top.txt\n",
        "  var    ticker4.swf: gNewChannel = UK-TOP|TOP NEWS|WELCOME TO TOP NEWS\n",
        "  fs     ticker4.swf: complete success\n",
        "  load   C:\\Program Files\\Norvale\\loader.swf\n",
        "  fs     loader.swf: sponsorlogoSuccess\n",
    };
    std::size_t at = 0;
    for (const std::string& line : expected)
    {
        const std::size_t found = trace.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << "in this order in\n" << trace;
        at = found == std::string::npos ? at : found;
    }
    std::size_t labels = 0;
    for (std::size_t i = trace.find("label  Connecting"); i != std::string::npos; i = trace.find("label  Connecting", i + 1))
        ++labels;
    EXPECT_EQ(labels, 1u) << "a label line when the status line changes, not at every look";
    EXPECT_TRUE(err.str().empty());

    std::ostringstream none, why;
    EXPECT_EQ(movierun::Run(*ParseArguments({ "/no/such/folder" }).options, none, why), 1);
    EXPECT_NE(why.str().find("/no/such/folder: not a folder"), std::string::npos);
}

TEST(MovieRunTest, AFolderWithAFileLargerThanItServesIsRefused)
{
    const auto dir = std::filesystem::temp_directory_path() / ("movie-run-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "sub");
    std::ofstream(dir / "sub" / "a.txt") << "a";
    std::ofstream(dir / "big.bin").close();
    std::filesystem::resize_file(dir / "big.bin", movierun::MaxFileBytes);
    movierun::ContentTree tree;
    std::string why;
    EXPECT_TRUE(tree.AddFolder(dir.string(), why)) << why;
    EXPECT_EQ(tree.Files().at("sub/a.txt"), "a");
    EXPECT_EQ(tree.Files().at("big.bin").size(), movierun::MaxFileBytes);
    std::filesystem::resize_file(dir / "big.bin", movierun::MaxFileBytes + 1);
    movierun::ContentTree refused;
    EXPECT_FALSE(refused.AddFolder(dir.string(), why));
    EXPECT_NE(why.find("big.bin: larger than 16 MiB"), std::string::npos) << why;
    EXPECT_TRUE(refused.Files().empty()) << "nothing of a folder that is refused";
    std::filesystem::remove_all(dir);
}
