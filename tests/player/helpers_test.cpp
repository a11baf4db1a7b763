// The movie player's pure helpers: the movie check, addresses, pattern costs,
// UTF-8 and the store's format.
#include "os/sim/registry.h"
#include "player/movie/address.h"
#include "player/movie/library.h"
#include "player/movie/movie.h"
#include "player/movie/sandbox.h"
#include "player/movie/store.h"
#include "player/movie/text.h"

#include <gtest/gtest.h>

using namespace player::movie;

TEST(MovieCheck, TheSignatureLineMakesAMovie)
{
    EXPECT_EQ(CheckMovie("--!movie 1\nx = 1"), "");
    EXPECT_EQ(CheckMovie("--!movie 1\r\nx = 1"), "");
    EXPECT_EQ(CheckMovie("\xEF\xBB\xBF--!movie 1\n"), "");
    EXPECT_EQ(CheckMovie("--!movie 1"), "");
    EXPECT_NE(CheckMovie("--!movie 10\n"), "");
    EXPECT_NE(CheckMovie(" --!movie 1\n"), "");
}

TEST(Addresses, ResolveAgainstTheMovieAndOnlyOverHttp)
{
    std::string why;
    const std::string base = "http://Host.test:8421/a/b/ticker4.swf?x=1#f";
    EXPECT_EQ(ResolveAddress(base, "logo.jpg", why), "http://Host.test:8421/a/b/logo.jpg");
    EXPECT_EQ(ResolveAddress(base, "../c/./d.txt?q=2", why), "http://Host.test:8421/a/c/d.txt?q=2");
    EXPECT_EQ(ResolveAddress(base, "../../../../e", why), "http://Host.test:8421/e");
    EXPECT_EQ(ResolveAddress(base, "/root.txt", why), "http://Host.test:8421/root.txt");
    EXPECT_EQ(ResolveAddress(base, "//cdn.test/x", why), "http://cdn.test/x");
    EXPECT_EQ(ResolveAddress(base, "HTTPS://other.test/y", why), "HTTPS://other.test/y");
    for (const char* bad : { "file:///etc/passwd", "javascript:alert(1)", "ftp://x/y", "C:\\x", "a b", "", "mailto:x@y" })
        EXPECT_FALSE(ResolveAddress(base, bad, why)) << bad;
    const std::string local = "C:\\Program Files\\Norvale\\loader.swf";
    EXPECT_EQ(ResolveAddress(local, "logo.bmp", why), "C:\\Program Files\\Norvale\\logo.bmp");
    EXPECT_EQ(ResolveAddress(local, "http://sponsor.test/logo.jpg", why), "http://sponsor.test/logo.jpg")
        << "the sponsor movie from the installation folder loads its logo from the web";
    for (const char* bad : { "..\\x", "sub/x", "D:\\x", "..", "\\\\server\\x" })
        EXPECT_FALSE(ResolveAddress(local, bad, why)) << bad;
    EXPECT_EQ(OriginOf(base), "http://host.test:8421");
    EXPECT_EQ(OriginOf(local), "file:c:\\program files\\norvale\\");
    EXPECT_TRUE(IsLocalPath("/opt/norvale/loader.swf"));
    EXPECT_EQ(ResolveAddress("\\\\server\\share\\loader.swf", "logo.bmp", why), "\\\\server\\share\\logo.bmp");
    EXPECT_FALSE(IsWebAddress("http:///x"));
    // Found by fuzzing: a movie address without a host made relative loads hostless.
    for (const char* hostless : { "http://?a.test/m.swf", "https://#f", "http://\\a.test/m.swf" })
    {
        EXPECT_FALSE(IsWebAddress(hostless)) << hostless;
        EXPECT_FALSE(ResolveAddress(hostless, "feeds/world.rss", why)) << hostless;
    }
}

TEST(PatternCosts, GrowWithQuantifiersThatBacktrack)
{
    EXPECT_EQ(PatternCost("abc", 100), 101.0) << "a plain search";
    EXPECT_EQ(PatternCost("^abc", 100), 1.0);
    EXPECT_EQ(PatternCost("%s+", 100), 101.0) << "a trailing quantifier does not backtrack";
    EXPECT_EQ(PatternCost("^%s*(.-)%s*$", 100), 101.0 * 101.0);
    EXPECT_EQ(PatternCost(".-.-b", 100), 101.0 * 101.0 * 101.0);
    EXPECT_EQ(PatternCost("[%]]*x", 100), 101.0 * 101.0 * 1.5) << "sets with escapes; a set's bytes make each step dearer";
    EXPECT_GT(PatternCost("[" + std::string(240, 'd') + "]*b", 4095), 16777216.0) << "a long set under a star";
    EXPECT_EQ(PatternCost("a?b?", 100), 101.0 * 4.0);
    EXPECT_EQ(PatternCost("%bxy", 100), 101.0 * 101.0);
}

TEST(Utf8, ChecksAndConvertsToAndFromUtf16)
{
    EXPECT_TRUE(IsUtf8("h\xC3\xA9llo \xE2\x80\x94 \xF0\x9F\x98\x80"));
    for (const char* bad : { "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x80", "\xFF" })
        EXPECT_FALSE(IsUtf8(bad)) << bad;
    const std::wstring wide = Utf8ToWide("\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(wide, (std::wstring{ 0xE9, 0xD83D, 0xDE00 }));
    EXPECT_EQ(WideToUtf8(wide), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8ToWide("a\xFF"), (std::wstring{ L'a', 0xFFFD }));
    EXPECT_EQ(WideToUtf8(std::wstring{ 0xD800 }), "\xEF\xBF\xBD");
}

TEST(StoreFormat, RoundTripsTypedValuesAndRefusesJunk)
{
    const StoreMap store{ { "a", std::string("x:y") }, { "n", 2.5 }, { "b", false } };
    EXPECT_EQ(ParseStore(SerializeStore(store)), store);
    for (std::string junk : { std::string("NMS1\n1:as3:x"), std::string("NMS1\n1:an3:abc"), std::string("NMS1\n1:ab1:2"),
                              std::string("nope"), std::string("NMS1\n3:a b") })
        EXPECT_FALSE(ParseStore(junk)) << junk;
    EXPECT_TRUE(ValidStoreKey("prefs.channel-1_x"));
    EXPECT_FALSE(ValidStoreKey(""));
    EXPECT_FALSE(ValidStoreKey(std::string(65, 'a')));
}

TEST(Origins, OneSpellingForEachOrigin)
{
    for (const char* same : { "http://127.0.0.1:8421/a", "HTTP://u1@127.0.0.1:8421/b", "http://u:p@127.0.0.1.:08421/c?x",
                              "http://127.0.0.1:0008421\\d", "http://x@y@127.0.0.1:8421#z" })
        EXPECT_EQ(OriginOf(same), "http://127.0.0.1:8421") << same;
    EXPECT_EQ(OriginOf("http://Example.COM:80/x"), "http://example.com");
    EXPECT_EQ(OriginOf("https://example.com:443/x"), "https://example.com");
    EXPECT_EQ(OriginOf("https://example.com:80/x"), "https://example.com:80");
    EXPECT_EQ(OriginOf("http://[::1]:8421/x"), "http://[::1]:8421");
    for (const char* none : { "http://h:65536/", "http://h:0/", "http://h:8a/", "http://@:80/", "ftp://h/", "http:///x" })
        EXPECT_EQ(OriginOf(none), "") << none;
}

TEST(StoreCaps, TheStoresOfEveryOriginTogetherAreCapped)
{
    os::sim::SimRegistry registry;
    std::string why;
    const auto set = [&](const std::string& origin, std::size_t bytes)
    {
        return Store(registry, origin).Set("k", std::string(bytes, 'x'), why);
    };
    for (std::size_t i = 0; i < MaxStoreOrigins; ++i)
        ASSERT_TRUE(set("http://h" + std::to_string(i) + ".test", 100)) << why;
    EXPECT_FALSE(set("http://one-more.test", 100));
    EXPECT_EQ(why, "the movies' stores are full (32 origins)");
    EXPECT_TRUE(set("http://h3.test", 200)) << "an origin that has a store keeps it: " << why;
    EXPECT_TRUE(Store(registry, "http://h4.test").Set("k", std::nullopt, why)) << "deleting is always allowed";

    os::sim::SimRegistry full;
    int written = 0;
    for (; written < 30 && Store(full, "http://f" + std::to_string(written) + ".test").Set("k", std::string(15000, 'y'), why);
         ++written)
    {
    }
    EXPECT_EQ(written, static_cast<int>(StoreTotalCap / 15000)) << why;
    EXPECT_EQ(why, "the movies' stores are full (256 KiB in all)");
    EXPECT_FALSE(Store(full, "").Set("k", true, why)) << "no origin, no store";
}
