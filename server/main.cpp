// The ticker's content server: serves the content folder and the documents made
// from its channels, sponsor and feed sources until SIGINT or SIGTERM, writes them
// all into a folder with --export, or says what every source gives with --check.
#include "server/http_server.h"
#include "server/options.h"
#include "server/site.h"
#include "server/source.h"

#include <csignal>
#include <pthread.h>
#include <sys/resource.h>

#include <algorithm>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

#ifndef CONTENT_SERVER_VERSION
#define CONTENT_SERVER_VERSION "0"
#endif

namespace
{
    std::mutex outputMutex;

    void Line(std::ostream& out, const std::string& line)
    {
        std::lock_guard lock(outputMutex);
        out << line << std::endl;
    }
} // namespace

int main(int argc, char** argv)
{
    const content::OptionsResult parsed =
        content::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), CONTENT_SERVER_VERSION);
    if (!parsed.options)
    {
        std::cerr << "content-server: " << parsed.error << "\n\n" << content::UsageText();
        return 2;
    }
    const content::Options& options = *parsed.options;
    if (options.help)
    {
        std::cout << content::UsageText();
        return 0;
    }

    std::signal(SIGPIPE, SIG_IGN);

    content::SiteOptions siteOptions;
    siteOptions.folder = options.folder;
    siteOptions.publicBase = options.publicBase;
    siteOptions.offerVersion = options.offerVersion;
    siteOptions.download = options.download;
    siteOptions.downloadAddress = options.downloadAddress;
    siteOptions.maxSourceBytes = options.maxSourceBytes;
    siteOptions.fetchTimeout = options.fetchTimeout;
    siteOptions.note = [](const std::string& line)
    {
        Line(std::cerr, "content-server: " + line);
    };
    if (!siteOptions.download.empty() && !content::ReadFileCapped(siteOptions.download, content::MaxFileBytes).ok)
    {
        std::cerr << "content-server: cannot read the download " << options.download << "\n";
        return 1;
    }

    content::Site site(siteOptions);
    std::string error;
    if (!site.Load(error))
    {
        std::cerr << "content-server: " << error << "\n";
        return 1;
    }

    if (options.check)
    {
        // The publisher's check: what every channel's source gave when read once.
        const std::vector<content::SourceReport> report = site.Report();
        std::cout << content::CheckText(report);
        const bool allRead =
            std::none_of(report.begin(), report.end(), [](const content::SourceReport& r) { return r.headlines.empty(); });
        return allRead ? 0 : 1;
    }

    if (!options.exportDir.empty())
    {
        // A tree for other web servers must not carry a channel without headlines
        // over ones that were good.
        if (const auto missing = site.ChannelsWithoutHeadlines(); !missing.empty())
        {
            std::cerr << "content-server: nothing exported: no headlines for channel " << missing.front() << "\n";
            return 1;
        }
        if (!site.Export(options.exportDir, error))
        {
            std::cerr << "content-server: " << error << "\n";
            return 1;
        }
        std::cout << "exported " << site.Names().size() << " documents to " << options.exportDir << "\n";
        return 0;
    }

    // From here the signals are taken by sigwait below: every thread started from
    // here on inherits the mask and never sees them. Until now (the first read of
    // the sources, an export, a check) they end the program as usual.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    content::Limits limits;
    limits.connections = options.maxConnections;
    limits.perAddress = options.maxPerAddress;
    limits.headTimeout = options.headTimeout;
    // Each connection is a descriptor: take what the system allows, and say when
    // that is fewer than the connections allowed.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max)
    {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY && files.rlim_cur < limits.connections + 64)
    {
        limits.connections = files.rlim_cur > 128 ? static_cast<unsigned>(files.rlim_cur - 64) : 64;
        Line(std::cerr, "content-server: at most " + std::to_string(limits.connections) +
                            " connections: the limit of open files is " + std::to_string(files.rlim_cur));
    }
    content::HttpFront front(
        site, [](const std::string& line) { Line(std::cout, line); }, limits);
    if (!front.Start(options.address, options.port))
    {
        std::cerr << "content-server: cannot listen on " << options.address << ":" << options.port << "\n";
        return 1;
    }
    Line(std::cout, "serving " + options.folder + " at " + options.publicBase);

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread refresher(
        [&]
        {
            std::unique_lock lock(mutex);
            while (!wake.wait_for(lock, options.poll, [&] { return stopping; }))
            {
                lock.unlock();
                site.Refresh();
                lock.lock();
            }
        });

    int signal = 0;
    sigwait(&stopSignals, &signal);
    Line(std::cout, std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    front.Stop();
    refresher.join();
    return 0;
}
