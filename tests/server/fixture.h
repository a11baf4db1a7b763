// A content folder made for one test, its site, and the server on a free loopback
// port with a client for it.
#pragma once

#include "server/http_server.h"
#include "server/request_path.h"
#include "server/site.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace content::test
{
    namespace fs = std::filesystem;

    inline void Write(const fs::path& file, const std::string& bytes)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    }

    inline std::string Read(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
    }

    inline std::string RssFeed(const std::vector<std::string>& titles)
    {
        std::string items;
        for (std::size_t i = 0; i < titles.size(); ++i)
            items += "<item><title>" + titles[i] + "</title><link>http://news.example/" + std::to_string(i) + "</link></item>";
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>T</title>" + items +
               "</channel></rss>";
    }

    inline std::string AtomFeed(const std::vector<std::string>& titles)
    {
        std::string entries;
        for (std::size_t i = 0; i < titles.size(); ++i)
            entries +=
                "<entry><title>" + titles[i] + "</title><link href=\"https://news.example/a" + std::to_string(i) + "\"/></entry>";
        return "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>T</title>" + entries + "</feed>";
    }

    // A folder with two channels (RSS and Atom), a sponsor, pages, a movie, and
    // things that must never be served: a hidden file, a file beside the folder
    // and a link to it.
    class ContentTest : public ::testing::Test
    {
      protected:
        void SetUp() override
        {
            std::random_device seed;
            top = fs::temp_directory_path() / ("content-test-" + std::to_string(seed()));
            folder = top / "content";
            Write(folder / "channels.xml",
                  "<channels><channel code=\"world\"><name>World news</name><announcement>Hello caf\xC3\xA9</announcement>"
                  "<source>feeds/world.rss</source></channel>"
                  "<channel code=\"tech\"><name>Tech</name><source>feeds/tech.atom</source></channel></channels>");
            Write(folder / "feeds/world.rss", RssFeed({ "First", "Z\xC3\xBCrich wins" }));
            Write(folder / "feeds/tech.atom", AtomFeed({ "Robots" }));
            Write(folder / "sponsor.xml",
                  "<sponsor><link>http://tea.example/</link><text>Drink tea</text><logo>sponsor/logo.jpg</logo></sponsor>");
            Write(folder / "sponsor/logo.jpg", std::string("\xFF\xD8\xFF\xE0 a jpeg", 11));
            Write(folder / "help.htm", "<p>help</p>");
            Write(folder / "getflash.htm", "<p>player</p>");
            Write(folder / "ticker4.swf", "--!movie 1\n");
            Write(folder / ".secret", "hidden");
            Write(top / "outside.txt", "private");
            fs::create_symlink(top / "outside.txt", folder / "link.txt");
            Write(top / "setup-3.3.exe", "MZ installer");
        }

        void TearDown() override
        {
            front.reset();
            site.reset();
            std::error_code ec;
            fs::remove_all(top, ec);
        }

        SiteOptions Options()
        {
            SiteOptions o;
            o.folder = folder;
            o.publicBase = "http://127.0.0.1:8421" + std::string(BasePath);
            o.offerVersion = "3.3";
            o.download = top / "setup-3.3.exe";
            o.maxSourceBytes = 4096;
            o.fetchTimeout = std::chrono::seconds(5);
            o.note = [this](const std::string& line)
            {
                std::lock_guard lock(mutex);
                notes.push_back(line);
            };
            return o;
        }

        void Start(SiteOptions options)
        {
            site = std::make_unique<Site>(std::move(options));
            std::string error;
            ASSERT_TRUE(site->Load(error)) << error;
            front = std::make_unique<HttpFront>(*site,
                                                [this](const std::string& line)
                                                {
                                                    std::lock_guard lock(mutex);
                                                    log.push_back(line);
                                                });
            ASSERT_TRUE(front->Start("127.0.0.1", 0));
            client = std::make_unique<httplib::Client>("127.0.0.1", front->Port());
            client->set_url_encode(false); // the targets go out byte for byte
            client->set_tcp_nodelay(true);
        }
        void Start() { Start(Options()); }

        httplib::Result Get(const std::string& name, const httplib::Headers& headers = {})
        {
            return client->Get(std::string(BasePath) + name, headers);
        }

        // The log once it has at least n lines (a line is written after its answer
        // is sent), or as it is after two seconds.
        std::vector<std::string> Log(std::size_t n)
        {
            for (int i = 0; i < 2000; ++i)
            {
                {
                    std::lock_guard lock(mutex);
                    if (log.size() >= n)
                        return log;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::lock_guard lock(mutex);
            return log;
        }

        fs::path top;
        fs::path folder;
        std::unique_ptr<Site> site;
        std::unique_ptr<HttpFront> front;
        std::unique_ptr<httplib::Client> client;
        std::mutex mutex;
        std::vector<std::string> log;
        std::vector<std::string> notes;
    };
} // namespace content::test
