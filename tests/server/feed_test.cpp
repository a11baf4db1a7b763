// Feeds as the web writes them: one small feed per habit, checked by the headline
// text and link that come out.
#include "server/address.h"
#include "server/encoding.h"
#include "server/feed.h"

#include <gtest/gtest.h>

#include <chrono>

namespace content
{
    namespace
    {
        std::string Rss(const std::string& items, const std::string& decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>")
        {
            return decl + "<rss version=\"2.0\"><channel><title>T</title>" + items + "</channel></rss>";
        }

        std::string Item(const std::string& title, const std::string& link = "http://n.example/1")
        {
            return "<item><title>" + title + "</title><link>" + link + "</link></item>";
        }

        // The feed's headlines, failing the test when it was refused.
        std::vector<Headline> Read(const std::string& bytes, const FeedSource& source = {})
        {
            const FeedResult r = ParseFeed(bytes, source);
            EXPECT_TRUE(r.ok) << r.error;
            EXPECT_EQ(r.warning, "");
            return r.headlines;
        }

        // Latin-1 text in UTF-16 or UTF-32, either byte order.
        std::string Wide(const std::string& latin1, bool bigEndian, int width)
        {
            std::string out;
            for (const char c : latin1)
                for (int i = 0; i < width; ++i)
                    out += (bigEndian ? i == width - 1 : i == 0) ? c : '\0';
            return out;
        }

        TEST(FeedFormats, Rss090And10ItemsBesideTheChannel)
        {
            const FeedResult old = ParseFeed("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                                             "xmlns=\"http://my.netscape.com/rdf/simple/0.9/\"><channel><title>Old</title>"
                                             "<link>http://old.example/</link></channel>"
                                             "<item><title>Ninety</title><link>http://old.example/90</link></item></rdf:RDF>");
            EXPECT_EQ(old.format, "RSS 0.90");
            EXPECT_EQ(old.headlines, (std::vector<Headline>{ { "Ninety", "http://old.example/90" } }));

            const FeedResult one =
                ParseFeed("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\">"
                          "<channel rdf:about=\"http://one.example/\"><title>One</title><items><rdf:Seq>"
                          "<rdf:li rdf:resource=\"http://one.example/a\"/></rdf:Seq></items></channel>"
                          "<item rdf:about=\"http://one.example/a\"><title>Item A</title><link>http://one.example/a</link></item>"
                          "<item rdf:about=\"http://one.example/b\"><title>Item B</title></item></rdf:RDF>");
            EXPECT_EQ(one.format, "RSS 1.0");
            EXPECT_EQ(one.headlines,
                      (std::vector<Headline>{ { "Item A", "http://one.example/a" }, { "Item B", "http://one.example/b" } }));

            // 0.91 with its DTD named (never loaded) and the entities it declares.
            const FeedResult r091 =
                ParseFeed("<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\" "
                          "\"http://my.netscape.com/publish/formats/rss-0.91.dtd\"><rss version=\"0.91\"><channel>"
                          "<item><title>Caf&eacute; r&eacute;opens</title><link>http://c.example/</link></item></channel></rss>");
            EXPECT_EQ(r091.format, "RSS 0.91");
            EXPECT_EQ(r091.headlines, (std::vector<Headline>{ { "Caf\xC3\xA9 r\xC3\xA9opens", "http://c.example/" } }));
        }

        TEST(FeedFormats, Atom03EscapedAndBase64Titles)
        {
            const FeedResult r = ParseFeed(
                "<feed version=\"0.3\" xmlns=\"http://purl.org/atom/ns#\">"
                "<entry><title type=\"text/html\" mode=\"escaped\">Example &lt;b&gt;Atom&lt;/b&gt; &amp;amp; more</title>"
                "<link rel=\"alternate\" type=\"text/html\" href=\"http://a03.example/1\"/></entry>"
                "<entry><title mode=\"base64\" type=\"text/plain\">QmFzZSBzaXh0eS1mb3VyIMOp</title>"
                "<link rel=\"alternate\" href=\"http://a03.example/2\"/></entry>"
                "<entry><title type=\"text/plain\" mode=\"escaped\">1 &lt; 2 &amp;amp; plain</title></entry></feed>");
            EXPECT_EQ(r.format, "Atom 0.3");
            const std::vector<Headline> want = {
                { "Example Atom & more", "http://a03.example/1" },
                { "Base sixty-four \xC3\xA9", "http://a03.example/2" },
                { "1 < 2 &amp; plain", "" }, // plain text stays as written
            };
            EXPECT_EQ(r.headlines, want);
        }

        TEST(FeedText, RssTitlesAreHtmlEscapedOnceMore)
        {
            EXPECT_EQ(Read(Rss(Item("don&amp;#146;t") + Item("Tom &amp;amp; Jerry") + Item("&lt;b&gt;Bold&lt;/b&gt; move") +
                               Item("<![CDATA[<i>Cdata</i> &amp; more]]>") + Item("1 &lt; 2, 3&gt;2"))),
                      (std::vector<Headline>{ { "don\xE2\x80\x99t", "http://n.example/1" },
                                              { "Tom & Jerry", "http://n.example/1" },
                                              { "Bold move", "http://n.example/1" },
                                              { "Cdata & more", "http://n.example/1" },
                                              { "1 < 2, 3>2", "http://n.example/1" } }));
        }

        TEST(FeedText, HtmlNamedEntitiesWithoutADeclaration)
        {
            // In the XML and, escaped, in the HTML of a title; &nbsp; is a space.
            EXPECT_EQ(Read(Rss(Item("Caf&eacute; &rsquo;open&rsquo;&nbsp;now") + Item("&amp;Omega;&amp;hellip;&amp;bogus;"))),
                      (std::vector<Headline>{ { "Caf\xC3\xA9 \xE2\x80\x99open\xE2\x80\x99 now", "http://n.example/1" },
                                              { "\xCE\xA9\xE2\x80\xA6&bogus;", "http://n.example/1" } }));
            // In an attribute value: the link's address.
            EXPECT_EQ(Read("<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry><title>A</title>"
                           "<link href=\"http://a.example/?q=caf&eacute;&amp;x=1\"/></entry></feed>")
                          .at(0)
                          .link,
                      "http://a.example/?q=caf%C3%A9&x=1");
        }

        TEST(FeedText, C1ControlsReadAsWindows1252AndWhiteSpaceFolds)
        {
            EXPECT_EQ(Read(Rss(Item("don\xC2\x92t \xC2\x93quoted\xC2\x94") + Item("&#150; dash &#x80;") +
                               Item("\n  Two\r\n\tlines &#x2028; here ") + Item("<![CDATA[ <br/> ]]>") + Item(""))),
                      (std::vector<Headline>{ { "don\xE2\x80\x99t \xE2\x80\x9Cquoted\xE2\x80\x9D", "http://n.example/1" },
                                              { "\xE2\x80\x93 dash \xE2\x82\xAC", "http://n.example/1" },
                                              { "Two lines here", "http://n.example/1" } }));
        }

        TEST(FeedEncodings, EveryDeclaredEncodingThroughIconv)
        {
            const struct
            {
                std::string label, bytes, utf8, read;
            } cases[] = {
                { "KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "KOI8-R" },
                { "windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                  "WINDOWS-1251" },
                { "ISO-8859-2", "\x5A\x61\xBF\xF3\xB3\xE6", "\x5A\x61\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", "ISO-8859-2" },
                { "iso-8859-7", "\xCA\xE1\xEB\xE7", "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7", "ISO-8859-7" },
                { "ISO-8859-15", "5 \xA4 \xBD", "5 \xE2\x82\xAC \xC5\x93", "ISO-8859-15" },
                { "Shift_JIS", "\x93\xFA\x96\x7B\x82\xCC", "\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE", "WINDOWS-31J" },
                { "EUC-JP", "\xC6\xFC\xCB\xDC\xA4\xCE", "\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE", "EUC-JP" },
                { "EUC-KR", "\xC7\xD1\xB1\xB9", "\xED\x95\x9C\xEA\xB5\xAD", "CP949" },
                { "GB2312", "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87", "GB18030" },
                { "GBK", "\xD0\xC2\xCE\xC5", "\xE6\x96\xB0\xE9\x97\xBB", "GB18030" },
                { "Big5", "\xB7\x73\xBB\x44", "\xE6\x96\xB0\xE8\x81\x9E", "BIG5" },
                { "ISO-8859-1", "Caf\xE9 \x80", "Caf\xC3\xA9 \xE2\x82\xAC", "WINDOWS-1252" },
                { "EUC-KR",
                  "a\xFF"
                  "b",
                  "a\xEF\xBF\xBD"
                  "b",
                  "CP949" }, // a byte that is no character
            };
            for (const auto& c : cases)
            {
                const FeedResult r = ParseFeed(Rss(Item(c.bytes), "<?xml version=\"1.0\" encoding=\"" + c.label + "\"?>"));
                ASSERT_EQ(r.headlines.size(), 1u) << c.label << " " << r.error;
                EXPECT_EQ(r.headlines[0].title, c.utf8) << c.label;
                EXPECT_EQ(r.encoding, c.read) << c.label;
            }
            const FeedResult unknown = ParseFeed(Rss(Item("A"), "<?xml version=\"1.0\" encoding=\"x-no-such\"?>"));
            EXPECT_FALSE(unknown.ok);
            EXPECT_EQ(unknown.error, "unknown encoding X-NO-SUCH");
            EXPECT_FALSE(ParseFeed(Rss(Item("A"), "<?xml version=\"1.0\" encoding=\"../../x\"?>")).ok);
        }

        TEST(FeedEncodings, UndeclaredBytesThatAreNotUtf8AreWindows1252)
        {
            const FeedResult r = ParseFeed(Rss(Item("Caf\xE9 \x93quoted\x94"), "<?xml version=\"1.0\"?>"));
            EXPECT_EQ(r.encoding, "WINDOWS-1252");
            EXPECT_EQ(r.headlines.at(0).title, "Caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D");
            // Declared UTF-8 with a stray Windows-1252 byte: the byte alone is read so.
            EXPECT_EQ(Read(Rss(Item("\xC3\xA9t\xE9 don\x92t"))).at(0).title, "\xC3\xA9t\xC3\xA9 don\xE2\x80\x99t");
        }

        TEST(FeedEncodings, TheHttpCharsetWinsOverTheDeclaration)
        {
            const std::string koi8 = Rss(Item("\xF0\xD2\xC9\xD7\xC5\xD4"), "<?xml version=\"1.0\" encoding=\"windows-1251\"?>");
            EXPECT_EQ(Read(koi8, { "", "koi8-r" }).at(0).title, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
            EXPECT_EQ(CharsetOf("application/rss+xml; charset=\"KOI8-R\""), "koi8-r");
            EXPECT_EQ(CharsetOf("text/xml;q=1 ; Charset=utf-8 "), "utf-8");
            EXPECT_EQ(CharsetOf("text/xml;charset=KOI8-R"), "koi8-r");
            EXPECT_EQ(CharsetOf("text/xml"), "");
        }

        TEST(FeedEncodings, Utf16AndUtf32WithAndWithoutAMark)
        {
            const std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><rss><channel><item><title>Z\xFCrich</title>"
                                     "</item></channel></rss>";
            const struct
            {
                std::string bytes, read;
            } cases[] = {
                { Wide(feed, false, 2), "UTF-16LE" },
                { Wide(feed, true, 2), "UTF-16BE" },
                { "\xFE\xFF" + Wide(feed, true, 2), "UTF-16BE" },
                { std::string("\xFF\xFE\0\0", 4) + Wide(feed, false, 4), "UTF-32LE" },
                { Wide(feed, true, 4), "UTF-32BE" },
            };
            for (const auto& c : cases)
            {
                const FeedResult r = ParseFeed(c.bytes);
                EXPECT_EQ(r.encoding, c.read);
                EXPECT_EQ(r.headlines, (std::vector<Headline>{ { "Z\xC3\xBCrich", "" } })) << c.read << r.error;
            }
        }

        TEST(FeedLinks, RelativeLinksResolveAgainstXmlBaseAndTheFeedsAddress)
        {
            EXPECT_EQ(Read("<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"http://base.example/news/\">"
                           "<entry><title>Feed base</title><link href=\"story/1\"/></entry>"
                           "<entry xml:base=\"/sport/\"><title>Entry base</title><link href=\"2\"/></entry>"
                           "<entry><title>Link base</title><link xml:base=\"http://other.example/a/b/\" href=\"../c\"/></entry>"
                           "<entry><title>Text link</title><link>  /text/1 </link></entry>"
                           "<entry><title>Not web</title><link href=\"mailto:x@base.example\"/></entry></feed>"),
                      (std::vector<Headline>{ { "Feed base", "http://base.example/news/story/1" },
                                              { "Entry base", "http://base.example/sport/2" },
                                              { "Link base", "http://other.example/a/c" },
                                              { "Text link", "http://base.example/text/1" },
                                              { "Not web", "" } }));
            const FeedSource from{ "https://feeds.example/x/rss.xml", "" };
            EXPECT_EQ(Read(Rss(Item("Root", "/story/1") + Item("Near", "2?a=b#c") + Item("Script", "javascript:alert(1)") +
                               Item("Spaces", " ../caf\xC3\xA9 menu ")),
                           from),
                      (std::vector<Headline>{ { "Root", "https://feeds.example/story/1" },
                                              { "Near", "https://feeds.example/x/2?a=b#c" },
                                              { "Script", "" },
                                              { "Spaces", "https://feeds.example/caf%C3%A9%20menu" } }));
            // Without an address of its own a relative link has nothing to stand on.
            EXPECT_EQ(Read(Rss(Item("Local", "/story/1"))).at(0).link, "");
        }

        TEST(FeedLinks, ReferenceResolutionAsRfc3986)
        {
            // The normal and abnormal examples of RFC 3986, section 5.4.
            const std::string base = "http://a/b/c/d;p?q";
            const std::pair<std::string, std::string> cases[] = {
                { "g:h", "g:h" },
                { "g", "http://a/b/c/g" },
                { "./g", "http://a/b/c/g" },
                { "g/", "http://a/b/c/g/" },
                { "/g", "http://a/g" },
                { "//g", "http://g" },
                { "?y", "http://a/b/c/d;p?y" },
                { "g?y", "http://a/b/c/g?y" },
                { "#s", "http://a/b/c/d;p?q#s" },
                { "g?y#s", "http://a/b/c/g?y#s" },
                { ";x", "http://a/b/c/;x" },
                { "", "http://a/b/c/d;p?q" },
                { ".", "http://a/b/c/" },
                { "..", "http://a/b/" },
                { "../g", "http://a/b/g" },
                { "../..", "http://a/" },
                { "../../g", "http://a/g" },
                { "../../../g", "http://a/g" },
                { "/./g", "http://a/g" },
                { "/../g", "http://a/g" },
                { "g.", "http://a/b/c/g." },
                { "..g", "http://a/b/c/..g" },
                { "./../g", "http://a/b/g" },
                { "./g/.", "http://a/b/c/g/" },
                { "g/./h", "http://a/b/c/g/h" },
                { "g/../h", "http://a/b/c/h" },
                { "g;x=1/../y", "http://a/b/c/y" },
                { "g?y/./x", "http://a/b/c/g?y/./x" },
                { "g#s/../x", "http://a/b/c/g#s/../x" },
                { "http:g", "http:g" },
            };
            for (const auto& [reference, target] : cases)
                EXPECT_EQ(ResolveReference(base, reference), target) << reference;
            EXPECT_EQ(ResolveReference("http://a", "g"), "http://a/g");
            EXPECT_EQ(ResolveReference(base, "/wiki/Talk:Page"), "http://a/wiki/Talk:Page"); // a colon, no scheme
            EXPECT_EQ(ResolveReference("", "g/../h"), "g/../h");
        }

        TEST(FeedFaults, AnIllFormedDocumentGivesTheItemsBeforeTheFault)
        {
            const FeedResult bareAmpersand = ParseFeed(Rss(Item("One") + Item("Two") + Item("Tom & Jerry") + Item("Four")));
            ASSERT_TRUE(bareAmpersand.ok);
            EXPECT_EQ(bareAmpersand.headlines.size(), 2u);
            EXPECT_NE(bareAmpersand.warning.find("line 1"), std::string::npos) << bareAmpersand.warning;

            const std::string whole = Rss(Item("One") + Item("Two"));
            const FeedResult unclosed = ParseFeed(whole.substr(0, whole.size() - 1)); // "</rss"
            EXPECT_EQ(unclosed.headlines.size(), 2u);
            EXPECT_FALSE(unclosed.warning.empty());

            // Nothing before the fault: a refusal, so the channel keeps what it had.
            const FeedResult none = ParseFeed(Rss("<item><title>A & B</title></item>" + Item("Two")));
            EXPECT_FALSE(none.ok);
            EXPECT_NE(none.error.find("not well-formed"), std::string::npos);
        }

        TEST(FeedFaults, DeepNestingIsRefusedWithoutRecursion)
        {
            std::string deep;
            for (int i = 0; i < 240000; ++i) // about 700 KB
                deep += "<b>";
            const auto start = std::chrono::steady_clock::now();
            const FeedResult r = ParseFeed(Rss(Item("Fine") + "<item><title>" + deep + "</title></item>"));
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.error, "elements nested deeper than 64");
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

            // Exactly as deep as allowed, and one deeper.
            auto nested = [](std::size_t depth)
            {
                std::string open, close;
                for (std::size_t i = 2; i < depth; ++i)
                {
                    open += "<x>";
                    close += "</x>";
                }
                return "<feed><entry><title>T</title>" + open + close + "</entry></feed>";
            };
            EXPECT_EQ(ParseFeed(nested(MaxFeedDepth)).headlines.size(), 1u);
            EXPECT_FALSE(ParseFeed(nested(MaxFeedDepth + 1)).ok);
        }

        TEST(FeedFaults, EntityDeclarationsAreRefused)
        {
            const std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY lol \"lol\">"
                                       "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
                                       "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">"
                                       "<!ENTITY lol4 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">"
                                       "<!ENTITY lol5 \"&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;\">"
                                       "<!ENTITY lol6 \"&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;\">"
                                       "<!ENTITY lol7 \"&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;\">"
                                       "<!ENTITY lol8 \"&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;\">"
                                       "<!ENTITY lol9 \"&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;\">]>"
                                       "<rss><channel><item><title>&lol9;</title></item></channel></rss>";
            const std::string external = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>"
                                         "<rss><channel><item><title>&xxe;</title></item></channel></rss>";
            const std::string parameter = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY % p SYSTEM "
                                          "\"http://127.0.0.1:9/x.dtd\"> %p;]><rss><channel><item><title>A</title>"
                                          "</item></channel></rss>";
            for (const std::string& doc : { laughs, external, parameter })
            {
                const FeedResult r = ParseFeed(doc);
                EXPECT_FALSE(r.ok);
                EXPECT_TRUE(r.headlines.empty());
                EXPECT_EQ(r.error, "the document declares entities; entity expansion stays off");
            }
        }
    } // namespace
} // namespace content
