// The content tree the server publishes: the plain files of the content folder, the
// documents made from the channels file, the sponsor file and the feed sources, the
// version document and the offered installer. Lookups may come from any thread
// while Refresh runs on another.
#pragma once

#include "server/channels.h"
#include "server/feed.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace content
{
    struct Document
    {
        std::string body;
        std::string type; // the Content-Type
        std::string etag; // strong, quotes included
        std::time_t modified = 0;
    };

    struct SiteOptions
    {
        std::filesystem::path folder;
        // The tree's absolute http address, ending in "/": the logo page and the
        // version document name their files with it.
        std::string publicBase;
        std::string offerVersion;
        std::filesystem::path download; // the installer served at download/<its name>, or empty
        std::string downloadAddress;    // an external installer address, when download is empty
        std::size_t maxSourceBytes = 2 * 1024 * 1024;
        std::chrono::seconds fetchTimeout{ 10 };
        // Where notes about sources go (one line each, no newline).
        std::function<void(const std::string&)> note = [](const std::string&) {
        };
    };

    // What the last read of a channel's source gave, for a publisher's check.
    struct SourceReport
    {
        std::string code;
        std::string source;
        std::string format;   // of the last good read, or empty
        std::string encoding; // of the last good read, or empty
        std::vector<Headline> headlines;
        std::string problem; // why the last read failed, or what it had to skip
    };

    constexpr std::size_t MaxFileBytes = 64 * 1024 * 1024;
    // The files kept in memory for serving, all together.
    constexpr std::size_t MaxCachedBytes = 64 * 1024 * 1024;
    // A web source that keeps failing is asked again after twice the wait of the
    // time before, up to this (or its refresh time, when that is longer).
    constexpr std::chrono::seconds MaxBackOff{ 3600 };
    constexpr std::string_view ChannelsFile = "channels.xml";
    constexpr std::string_view SponsorFile = "sponsor.xml";

    class Site
    {
      public:
        explicit Site(SiteOptions options);

        // Reads the channels file, the sponsor file and every source. False, with
        // the reason, when the channels file cannot be used: there is nothing to serve.
        bool Load(std::string& error);

        // Reads again what changed: the channels and sponsor files and local sources
        // whose size or time changed, web sources whose refresh time has come. A
        // source that fails keeps its last good headlines. Returns whether any
        // document changed.
        bool Refresh(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

        // The document served as name (a name that ContentPath accepts), if any.
        std::optional<Document> Find(const std::string& name) const;
        // The same without a copy: a generated document as the last rebuild made it,
        // a file from memory while its size and time are unchanged (up to
        // MaxCachedBytes of files are kept).
        std::shared_ptr<const Document> Share(const std::string& name) const;

        // Every name Find answers, sorted.
        std::vector<std::string> Names() const;

        // Channels whose source has never been read.
        std::vector<std::string> ChannelsWithoutHeadlines() const;

        // Every channel's source as last read, in the channels file's order.
        std::vector<SourceReport> Report() const;

        // Writes every document under dir at its name. dir must not lie inside the
        // content folder.
        bool Export(const std::filesystem::path& dir, std::string& error) const;

      private:
        struct Stamp
        {
            long long size = 0;
            long long seconds = 0; // of the last change
            long long nanoseconds = 0;
            bool operator==(const Stamp&) const = default;
        };
        struct SourceState
        {
            std::string source;
            std::optional<std::vector<Headline>> headlines; // the last good ones
            std::optional<Stamp> stamp;                     // of a local source when last read
            std::chrono::steady_clock::time_point due{};    // of a web source
            std::string lastError;
            std::string lastWarning;
            // Of a web source: the validators of the last answer that read well,
            // and the failures in a row since.
            std::string etag;
            std::string lastModified;
            int failures = 0;
            std::string format;
            std::string encoding;
        };
        using Generated = std::map<std::string, Document>;

        static std::optional<Stamp> StampOf(const std::filesystem::path& file);
        // The file of the folder at name, when it is a regular file inside it.
        std::optional<std::filesystem::path> InFolder(const std::string& name) const;
        bool ReadChannels(bool force);
        bool ReadSponsor(bool force);
        bool ReadSource(const Channel& channel, SourceState& state, std::chrono::steady_clock::time_point now, bool force);
        // Whether the parsed source changed the channel's headlines; notes what went wrong.
        bool TakeFeed(const Channel& channel, SourceState& state, FeedResult feed);
        void Rebuild();
        std::shared_ptr<const Document> FindFile(const std::string& name) const;

        SiteOptions options_;
        std::filesystem::path root_; // the folder, made canonical
        // Written by Load and Refresh only (one thread at a time).
        std::vector<Channel> channels_;
        std::map<std::string, SourceState> sources_; // by channel code
        std::optional<Sponsor> sponsor_;
        std::optional<Stamp> channelsStamp_;
        std::optional<Stamp> sponsorStamp_;
        std::string channelsError_;
        std::string sponsorError_;
        // What lookups read.
        mutable std::mutex mutex_;
        std::shared_ptr<const Generated> generated_ = std::make_shared<Generated>();
        // The files read for serving, by name, and their bytes together.
        mutable std::mutex filesMutex_;
        mutable std::map<std::string, std::shared_ptr<const Document>> files_;
        mutable std::size_t cachedBytes_ = 0;
    };

    // The publisher's check of a report: per channel its source, then the format,
    // encoding and number of headlines, the first headline, and what went wrong.
    std::string CheckText(const std::vector<SourceReport>& report);

    // The Content-Type of a file by its extension.
    std::string ContentTypeOf(std::string_view name);
} // namespace content
