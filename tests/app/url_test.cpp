// Addresses sent by remote content: only plain web addresses pass.
#include "app/url.h"
#include "app/version.h"

#include <gtest/gtest.h>

using app::IsWebUrl;

TEST(WebUrl, PlainHttpAndHttpsAddressesPass)
{
    for (const char* url : { "http://www.norvale.example/news?id=4&x=y#top", "https://norvale.example/", "HTTP://Norvale.example",
                             "http://127.0.0.1:8421/resources/media/uk/downloads/vodazovovarar/help.htm", "http://[::1]:80/a",
                             "https://a.example/%22quoted%22" })
        EXPECT_TRUE(IsWebUrl(std::string(url))) << url;
    EXPECT_TRUE(IsWebUrl(std::wstring(L"https://norvale.example/path")));
}

TEST(WebUrl, PathsOtherSchemesAndCommandLineTricksAreRefused)
{
    for (const char* url : { "",
                             "C:\\Windows\\System32\\calc.exe",
                             "\\\\server\\share\\run.exe",
                             "file:///C:/Windows/notepad.exe",
                             "javascript:alert(1)",
                             "mailto:a@b.example",
                             "ftp://host/file",
                             "cmd.exe /c del",
                             "http:/host",
                             "http://",
                             "http:///etc/passwd",
                             "http://\\\\host",
                             "http://host/\"  --disable-web-security \"",
                             "http://host/ x",
                             "http://host/\tx",
                             "http://host/\r\nx",
                             "http://host/<script>",
                             "  http://host/",
                             "http://host/\x7f",
                             "http://h\xe9st.example/",
                             "http://host\\..\\evil" })
        EXPECT_FALSE(IsWebUrl(std::string(url))) << url;
    EXPECT_FALSE(IsWebUrl(std::string("http://host/\0nul", 16)));
    EXPECT_FALSE(IsWebUrl(std::wstring(L"http://h\u00e9st.example/")));
    EXPECT_FALSE(IsWebUrl(std::wstring(L"http://host/\u202Egpj.exe"))) << "right-to-left override";
}

TEST(WebUrl, OverLongAddressesAreRefused)
{
    const std::string base = "http://host.example/";
    EXPECT_TRUE(IsWebUrl(base + std::string(app::MaxUrlLength - base.size(), 'a')));
    EXPECT_FALSE(IsWebUrl(base + std::string(app::MaxUrlLength - base.size() + 1, 'a')));
    EXPECT_FALSE(IsWebUrl(base + std::string(100'000, 'a')));
}

TEST(Version, IsTheShortestDecimalTextWithTheUsersSeparator)
{
    EXPECT_EQ(app::FormatVersion(3.2, "."), "3.2");
    EXPECT_EQ(app::FormatVersion(3.2, ","), "3,2");
    EXPECT_EQ(app::FormatVersion(3.0, ","), "3");
    EXPECT_EQ(app::FormatVersion(10.25, "\xb7"), "10\xb7"
                                                 "25");
}
