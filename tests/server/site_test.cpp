// What the server does when its sources change or fail, and the exported tree.
#include "fixture.h"
#include "server/http_date.h"
#include "server/source.h"

#include <zlib.h>

#include <thread>

namespace content::test
{
    namespace
    {
        using namespace std::chrono_literals;

        std::string Gzip(const std::string& data)
        {
            z_stream z{};
            deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY); // 16: a gzip wrapper
            std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
            z.avail_in = static_cast<uInt>(data.size());
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, Z_FINISH);
            out.resize(z.total_out);
            deflateEnd(&z);
            return out;
        }

        TEST_F(ContentTest, ABrokenOrHugeLocalSourceKeepsTheLastGoodHeadlines)
        {
            Start();
            const httplib::Result good = Get("headlines/world.txt");
            ASSERT_TRUE(good);
            const std::string rss = RssFeed({ "First", "Second", "Third" });
            const std::vector<std::string> bad = {
                rss.substr(0, rss.find("</item>")),                      // written up to its first item's end
                "<html><body>Service unavailable</body></html>",         // an error page
                RssFeed(std::vector<std::string>(300, "Padding title")), // past the cap
            };
            for (const std::string& bytes : bad)
            {
                Write(folder / "feeds/world.rss", bytes);
                site->Refresh();
                const httplib::Result r = Get("headlines/world.txt");
                ASSERT_TRUE(r);
                EXPECT_EQ(r->body, good->body) << bytes.size();
                EXPECT_EQ(r->get_header_value("ETag"), good->get_header_value("ETag"));
            }
            EXPECT_GE(notes.size(), bad.size());

            // Cut after its second item: the two are served, and the fault is noted.
            Write(folder / "feeds/world.rss", rss.substr(0, rss.rfind("</item>")));
            EXPECT_TRUE(site->Refresh());
            EXPECT_EQ(Get("headlines/world.txt")->body, "First\thttp://news.example/0\nSecond\thttp://news.example/1\n");
            EXPECT_NE(notes.back().find("channel world: not well-formed XML"), std::string::npos) << notes.back();

            Write(folder / "feeds/world.rss", rss);
            EXPECT_TRUE(site->Refresh());
            const httplib::Result fresh = Get("headlines/world.txt", { { "If-None-Match", good->get_header_value("ETag") } });
            ASSERT_TRUE(fresh);
            EXPECT_EQ(fresh->status, 200);
            EXPECT_EQ(fresh->body, "First\thttp://news.example/0\nSecond\thttp://news.example/1\nThird\thttp://news.example/2\n");
            // Changed within the same second, still dated later: a date check sees it.
            EXPECT_GT(*ParseHttpDate(fresh->get_header_value("Last-Modified")),
                      *ParseHttpDate(good->get_header_value("Last-Modified")));
            EXPECT_FALSE(site->Refresh()); // nothing changed since
        }

        TEST_F(ContentTest, ATooDeepSourceIsRefusedWhileTheOtherChannelsServe)
        {
            std::string deep = "<rss><channel><item><title>";
            for (int i = 0; i < 240000; ++i)
                deep += "<b>";
            Write(folder / "feeds/tech.atom", deep);
            SiteOptions options = Options();
            options.maxSourceBytes = 1024 * 1024;
            Start(std::move(options));
            EXPECT_EQ(Get("headlines/tech.txt")->body, "");
            EXPECT_EQ(Get("headlines/world.txt")->body,
                      "First\thttp://news.example/0\nZ\xC3\xBCrich wins\thttp://news.example/1\n");
            ASSERT_EQ(notes.size(), 1u);
            EXPECT_EQ(notes[0], "channel tech: elements nested deeper than 64; no headlines yet");
        }

        TEST_F(ContentTest, WebSourcesRssAndAtomRefreshAndKeepTheLastGood)
        {
            // A feed host on the loopback interface whose answers the test chooses.
            httplib::Server feeds;
            std::mutex m;
            int status = 200;
            std::string body = RssFeed({ "Web one" });
            bool chunkedFlood = false;
            bool trickle = false;
            feeds.Get("/feed",
                      [&](const httplib::Request&, httplib::Response& res)
                      {
                          std::lock_guard lock(m);
                          if (trickle)
                          {
                              // A well-formed feed, ten bytes every 200 ms: slower than the fetch allows.
                              res.set_chunked_content_provider(
                                  "application/rss+xml",
                                  [](std::size_t offset, httplib::DataSink& sink)
                                  {
                                      static const std::string feed = RssFeed(std::vector<std::string>(20, "Slow"));
                                      if (offset >= feed.size())
                                      {
                                          sink.done();
                                          return true;
                                      }
                                      std::this_thread::sleep_for(200ms);
                                      return sink.write(feed.data() + offset, std::min<std::size_t>(10, feed.size() - offset));
                                  });
                              return;
                          }
                          if (chunkedFlood)
                          {
                              // No declared length: the cap must stop the read itself.
                              res.set_chunked_content_provider("application/rss+xml",
                                                               [](std::size_t, httplib::DataSink& sink)
                                                               {
                                                                   const std::string chunk(1024, ' ');
                                                                   return sink.write(chunk.data(), chunk.size());
                                                               });
                              return;
                          }
                          res.status = status;
                          res.set_content(body, "application/rss+xml");
                      });
            const int port = feeds.bind_to_any_port("127.0.0.1");
            std::thread serving([&] { feeds.listen_after_bind(); });
            while (!feeds.is_running())
                std::this_thread::sleep_for(1ms);

            Write(folder / "channels.xml",
                  "<channels><channel code=\"web\"><name>Web</name><source refresh=\"30\">http://127.0.0.1:" +
                      std::to_string(port) + "/feed</source></channel></channels>");
            SiteOptions options = Options();
            options.fetchTimeout = 1s;
            Start(std::move(options));
            EXPECT_EQ(Get("headlines/web.txt")->body, "Web one\thttp://news.example/0\n");

            auto t = std::chrono::steady_clock::now();
            auto answer = [&](int s, std::string b, bool flood = false, bool slow = false)
            {
                std::lock_guard lock(m);
                status = s;
                body = std::move(b);
                chunkedFlood = flood;
                trickle = slow;
            };
            answer(200, AtomFeed({ "Atom two" }));
            EXPECT_FALSE(site->Refresh(t + 10s)); // not due yet
            EXPECT_TRUE(site->Refresh(t += 31s));
            EXPECT_EQ(Get("headlines/web.txt")->body, "Atom two\thttps://news.example/a0\n");

            for (auto [s, b, flood] :
                 { std::tuple{ 500, AtomFeed({ "Error page" }), false },
                   std::tuple{ 200, RssFeed(std::vector<std::string>(300, "Padding title")), false },
                   std::tuple{ 200, std::string(), true }, std::tuple{ 200, std::string("not xml"), false } })
            {
                answer(s, b, flood);
                EXPECT_FALSE(site->Refresh(t += MaxBackOff + 1s));
                EXPECT_EQ(Get("headlines/web.txt")->body, "Atom two\thttps://news.example/a0\n") << s << " " << b.size();
            }
            answer(200, "", false, true);
            const auto before = std::chrono::steady_clock::now();
            EXPECT_FALSE(site->Refresh(t += MaxBackOff + 1s));
            // Given up after about 2 s, not after the 24 s the whole feed would take.
            EXPECT_LT(std::chrono::steady_clock::now() - before, 8s);
            EXPECT_EQ(Get("headlines/web.txt")->body, "Atom two\thttps://news.example/a0\n");

            feeds.stop();
            serving.join();
            EXPECT_FALSE(site->Refresh(t += MaxBackOff + 1s)); // the host is gone
            EXPECT_EQ(Get("headlines/web.txt")->body, "Atom two\thttps://news.example/a0\n");
        }

        TEST_F(ContentTest, WebSourcesAreAskedPolitely)
        {
            // A host that has moved the feed, speaks gzip, names the charset only in
            // its header, knows its validators and can be made to fail.
            httplib::Server feeds;
            std::mutex m;
            std::vector<httplib::Headers> requests;
            int status = 200;
            feeds.Get("/news/feed",
                      [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/latest/feed", 301); });
            feeds.Get("/latest/feed",
                      [&](const httplib::Request& req, httplib::Response& res)
                      {
                          std::lock_guard lock(m);
                          requests.push_back(req.headers);
                          res.status = status;
                          if (status != 200)
                              return;
                          if (req.get_header_value("If-None-Match") == "\"v1\"")
                          {
                              res.status = 304;
                              return;
                          }
                          res.set_header("ETag", "\"v1\"");
                          res.set_header("Last-Modified", "Thu, 01 Jan 2026 00:00:00 GMT");
                          res.set_header("Content-Encoding", "gzip");
                          res.set_content(Gzip("<rss version=\"2.0\"><channel><item><title>\xF0\xD2\xC9\xD7\xC5\xD4</title>"
                                               "<link>story/1</link></item></channel></rss>"),
                                          "application/rss+xml; charset=koi8-r");
                      });
            const int port = feeds.bind_to_any_port("127.0.0.1");
            std::thread serving([&] { feeds.listen_after_bind(); });
            while (!feeds.is_running())
                std::this_thread::sleep_for(1ms);
            const std::string address = "http://127.0.0.1:" + std::to_string(port) + "/news/";
            Write(folder / "channels.xml", "<channels><channel code=\"web\"><name>Web</name><source refresh=\"30\">" + address +
                                               "feed</source></channel></channels>");
            Start();
            // The link is relative to where the feed was found.
            const std::string headlines =
                "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\thttp://127.0.0.1:" + std::to_string(port) +
                "/latest/story/1\n";
            EXPECT_EQ(Get("headlines/web.txt")->body, headlines);

            auto t = std::chrono::steady_clock::now();
            // How many requests a refresh that many seconds later makes.
            auto poll = [&](std::chrono::seconds later)
            {
                std::size_t before = 0;
                {
                    std::lock_guard lock(m);
                    before = requests.size();
                }
                site->Refresh(t += later);
                std::lock_guard lock(m);
                return requests.size() - before;
            };
            EXPECT_EQ(poll(31s), 1u); // answered 304
            EXPECT_EQ(Get("headlines/web.txt")->body, headlines);
            {
                std::lock_guard lock(m);
                ASSERT_EQ(requests.size(), 2u);
                for (const auto& headers : requests)
                {
                    EXPECT_EQ(headers.find("User-Agent")->second, "Norvale-content-server/" CONTENT_SERVER_VERSION);
                    EXPECT_EQ(headers.find("Accept-Encoding")->second, "gzip");
                }
                EXPECT_EQ(requests[0].count("If-None-Match"), 0u);
                EXPECT_EQ(requests[1].find("If-None-Match")->second, "\"v1\"");
                EXPECT_EQ(requests[1].find("If-Modified-Since")->second, "Thu, 01 Jan 2026 00:00:00 GMT");
            }

            // Failing, the host is asked after 60 s, then 120 s, ... up to an hour.
            {
                std::lock_guard lock(m);
                status = 503;
            }
            EXPECT_EQ(poll(31s), 1u);
            for (const auto wait : { 60s, 120s, 240s, 480s, 960s, 1920s, 3600s, 3600s })
            {
                EXPECT_EQ(poll(wait - 1s), 0u) << wait.count();
                EXPECT_EQ(poll(2s), 1u) << wait.count();
            }
            EXPECT_EQ(Get("headlines/web.txt")->body, headlines);

            // Well again: the whole document (no validators after a failure), then every 30 s.
            {
                std::lock_guard lock(m);
                status = 200;
            }
            EXPECT_EQ(poll(3601s), 1u);
            EXPECT_EQ(poll(29s), 0u);
            EXPECT_EQ(poll(2s), 1u);
            {
                std::lock_guard lock(m);
                EXPECT_EQ(requests[requests.size() - 2].count("If-None-Match"), 0u);
                EXPECT_EQ(requests.back().count("If-None-Match"), 1u);
            }
            EXPECT_EQ(Get("headlines/web.txt")->body, headlines);
            feeds.stop();
            serving.join();
        }

        TEST_F(ContentTest, ThePublishersCheckSaysWhatEverySourceGave)
        {
            const std::string atom = AtomFeed({ "Robots", "Cars" });
            Write(folder / "feeds/tech.atom", atom.substr(0, atom.size() - 7)); // no "</feed>"
            Write(folder / "feeds/empty.rss", RssFeed({}));
            Write(folder / "channels.xml",
                  "<channels><channel code=\"world\"><name>W</name><source>feeds/world.rss</source></channel>"
                  "<channel code=\"tech\"><name>T</name><source>feeds/tech.atom</source></channel>"
                  "<channel code=\"gone\"><name>G</name><source>feeds/gone.rss</source></channel>"
                  "<channel code=\"empty\"><name>E</name><source>feeds/empty.rss</source></channel></channels>");
            Start();
            const std::vector<SourceReport> report = site->Report();
            ASSERT_EQ(report.size(), 4u);
            EXPECT_EQ(report[1].headlines.size(), 2u);
            const std::string text = CheckText(report);
            const std::string noteStart = "  note: not well-formed XML: line 1: ";
            const std::size_t note = text.find(noteStart);
            ASSERT_NE(note, std::string::npos) << text;
            const std::size_t noteEnd = text.find('\n', note);
            EXPECT_EQ(text.substr(0, note) + text.substr(noteEnd + 1), "world: feeds/world.rss\n"
                                                                       "  RSS 2.0, UTF-8, 2 headlines\n"
                                                                       "  first: First <http://news.example/0>\n"
                                                                       "tech: feeds/tech.atom\n"
                                                                       "  Atom 1.0, UTF-8, 2 headlines\n"
                                                                       "  first: Robots <https://news.example/a0>\n"
                                                                       "gone: feeds/gone.rss\n"
                                                                       "  failed: no file feeds/gone.rss in the content folder\n"
                                                                       "empty: feeds/empty.rss\n"
                                                                       "  RSS 2.0, UTF-8, 0 headlines\n"
                                                                       "  failed: the feed has no items with a title\n");
            EXPECT_TRUE(text.substr(note, noteEnd - note).ends_with("; kept the 2 items before it")) << text;
        }

        TEST_F(ContentTest, PublisherFilesReloadAndABrokenOneChangesNothing)
        {
            Start();
            const std::string channels = Get("channels.txt")->body;
            Write(folder / "channels.xml",
                  "<channels><channel code=\"BAD\"><name>x</name><source>a.rss</source></channel></channels>");
            EXPECT_FALSE(site->Refresh());
            EXPECT_EQ(Get("channels.txt")->body, channels);
            EXPECT_EQ(Get("channel/world.txt")->status, 200);

            Write(folder / "channels.xml",
                  "<channels><channel code=\"tech\"><name>Technology</name><source>feeds/tech.atom</source>"
                  "</channel></channels>");
            EXPECT_TRUE(site->Refresh());
            EXPECT_EQ(Get("channels.txt")->body, "tech\tTechnology\n");
            EXPECT_EQ(Get("headlines/world.txt")->status, 404);
            EXPECT_EQ(Get("headlines/tech.txt")->body, "Robots\thttps://news.example/a0\n");

            std::filesystem::remove(folder / "sponsor.xml");
            EXPECT_TRUE(site->Refresh());
            EXPECT_EQ(Get("sponsor.txt")->status, 404);
            EXPECT_EQ(Get("sponsor/logo.htm")->status, 404);
        }

        TEST_F(ContentTest, TheExportedTreeIsWhatIsServed)
        {
            Write(folder / "movies/.cache/x", "hidden");
            Write(folder / "movies/prefs4.swf", "--!movie 1\n-- prefs\n");
            Start();
            std::string error;
            EXPECT_FALSE(site->Export(folder / "out", error));
            const fs::path out = top / "export";
            ASSERT_TRUE(site->Export(out, error)) << error;

            std::set<std::string> exported;
            for (const auto& entry : fs::recursive_directory_iterator(out))
                if (entry.is_regular_file())
                    exported.insert(fs::relative(entry.path(), out).generic_string());
            const std::set<std::string> want = {
                "channels.txt",       "channel/world.txt", "channel/tech.txt",       "headlines/world.txt",
                "headlines/tech.txt", "sponsor.txt",       "sponsor/logo.htm",       "sponsor/logo.jpg",
                "version.txt",        "help.htm",          "getflash.htm",           "ticker4.swf",
                "feeds/world.rss",    "feeds/tech.atom",   "download/setup-3.3.exe", "movies/prefs4.swf"
            };
            EXPECT_EQ(exported, want);
            for (const std::string& name : exported)
            {
                const httplib::Result r = Get(name);
                ASSERT_TRUE(r) << name;
                EXPECT_EQ(r->status, 200) << name;
                EXPECT_EQ(r->body, Read(out / name)) << name;
            }
        }

        TEST_F(ContentTest, AFileIsServedAsItIsNowChangedOrGone)
        {
            Start();
            const httplib::Result first = Get("ticker4.swf");
            ASSERT_TRUE(first);
            EXPECT_EQ(first->body, "--!movie 1\n");
            EXPECT_EQ(Get("ticker4.swf")->get_header_value("ETag"), first->get_header_value("ETag")) << "kept as it was";

            // The same size, a later time: read again, not served from memory.
            Write(folder / "ticker4.swf", "--!movie 2\n");
            fs::last_write_time(folder / "ticker4.swf", fs::last_write_time(folder / "ticker4.swf") + std::chrono::seconds(2));
            const httplib::Result changed = Get("ticker4.swf");
            ASSERT_TRUE(changed);
            EXPECT_EQ(changed->body, "--!movie 2\n");
            EXPECT_NE(changed->get_header_value("ETag"), first->get_header_value("ETag"));

            fs::remove(folder / "ticker4.swf");
            EXPECT_EQ(Get("ticker4.swf")->status, 404);
            Write(folder / "ticker4.swf", "--!movie 3, longer\n");
            EXPECT_EQ(Get("ticker4.swf")->body, "--!movie 3, longer\n");
        }
    } // namespace
} // namespace content::test
