// The movie player's pure helpers: the movie check, addresses, pattern costs,
// UTF-8 and the store's format.
#include "player/movie/address.h"
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
    EXPECT_EQ(PatternCost("[%]]*x", 100), 101.0 * 101.0) << "sets with escapes";
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
