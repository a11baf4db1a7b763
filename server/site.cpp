#include "server/site.h"

#include "server/documents.h"
#include "server/encoding.h"
#include "server/request_path.h"
#include "server/source.h"
#include "server/text.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <set>

namespace content
{
    namespace fs = std::filesystem;

    namespace
    {
        constexpr std::size_t MaxSettingsBytes = 1024 * 1024;
        constexpr std::string_view Cp1252Text = "text/plain; charset=windows-1252";
        constexpr std::string_view Utf8Text = "text/plain; charset=utf-8";

        std::string Hex(std::uint64_t value)
        {
            char buffer[17];
            std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(value));
            return buffer;
        }

        std::uint64_t Fnv1a(std::string_view bytes)
        {
            std::uint64_t hash = 0xcbf29ce484222325ULL;
            for (const char c : bytes)
            {
                hash ^= static_cast<unsigned char>(c);
                hash *= 0x100000001b3ULL;
            }
            return hash;
        }

        bool IsSettingsFile(std::string_view name)
        {
            return name == ChannelsFile || name == SponsorFile;
        }
    } // namespace

    std::string ContentTypeOf(std::string_view name)
    {
        static constexpr std::pair<std::string_view, std::string_view> Types[] = {
            { ".txt", "text/plain; charset=utf-8" },
            { ".htm", "text/html; charset=utf-8" },
            { ".html", "text/html; charset=utf-8" },
            { ".css", "text/css; charset=utf-8" },
            { ".js", "text/javascript; charset=utf-8" },
            { ".xml", "application/xml" },
            { ".rss", "application/rss+xml" },
            { ".atom", "application/atom+xml" },
            { ".swf", "application/x-shockwave-flash" },
            { ".jpg", "image/jpeg" },
            { ".jpeg", "image/jpeg" },
            { ".png", "image/png" },
            { ".gif", "image/gif" },
            { ".ico", "image/x-icon" },
            { ".exe", "application/vnd.microsoft.portable-executable" },
        };
        const std::size_t dot = name.rfind('.');
        const std::size_t slash = name.rfind('/');
        if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
        {
            const std::string extension = LowerAscii(name.substr(dot));
            for (const auto& [ext, type] : Types)
                if (extension == ext)
                    return std::string(type);
        }
        return "application/octet-stream";
    }

    Site::Site(SiteOptions options) : options_(std::move(options)) {}

    std::optional<Site::Stamp> Site::StampOf(const fs::path& file)
    {
        struct stat st
        {
        };
        if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return std::nullopt;
        return Stamp{ static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
                      static_cast<long long>(st.st_mtim.tv_nsec) };
    }

    std::optional<fs::path> Site::InFolder(const std::string& name) const
    {
        if (!ContentPath(name))
            return std::nullopt;
        std::error_code ec;
        // A link inside the folder must not lead out of it.
        const fs::path real = fs::weakly_canonical(root_ / name, ec);
        if (ec)
            return std::nullopt;
        const auto [rootEnd, realAt] = std::mismatch(root_.begin(), root_.end(), real.begin(), real.end());
        if (rootEnd != root_.end() || realAt == real.end())
            return std::nullopt;
        if (!StampOf(real))
            return std::nullopt;
        return real;
    }

    bool Site::Load(std::string& error)
    {
        std::error_code ec;
        root_ = fs::canonical(options_.folder, ec);
        if (ec || !fs::is_directory(root_))
        {
            error = "no content folder at " + options_.folder.string();
            return false;
        }
        ReadChannels(true);
        if (channels_.empty())
        {
            error = std::string(ChannelsFile) + ": " + channelsError_;
            return false;
        }
        ReadSponsor(true);
        const auto now = std::chrono::steady_clock::now();
        for (const Channel& channel : channels_)
            ReadSource(channel, sources_[channel.code], now, true);
        Rebuild();
        return true;
    }

    bool Site::Refresh(std::chrono::steady_clock::time_point now)
    {
        bool changed = ReadChannels(false);
        changed = ReadSponsor(false) || changed;
        for (const Channel& channel : channels_)
            changed = ReadSource(channel, sources_[channel.code], now, false) || changed;
        if (changed)
            Rebuild();
        return changed;
    }

    bool Site::ReadChannels(bool force)
    {
        const fs::path file = root_ / ChannelsFile;
        const std::optional<Stamp> stamp = StampOf(file);
        if (!force && stamp == channelsStamp_)
            return false;
        channelsStamp_ = stamp;
        SourceBytes read = ReadFileCapped(file, MaxSettingsBytes);
        ChannelsResult parsed;
        if (read.ok)
            parsed = ParseChannels(read.bytes);
        else
            parsed.error = read.error;
        if (!parsed.ok)
        {
            if (parsed.error != channelsError_)
                options_.note(std::string(ChannelsFile) + ": " + parsed.error +
                              (channels_.empty() ? std::string() : "; the channels stay as they were"));
            channelsError_ = parsed.error;
            return false;
        }
        channelsError_.clear();
        if (parsed.channels == channels_)
            return false;
        std::map<std::string, SourceState> sources;
        for (const Channel& channel : parsed.channels)
        {
            SourceState& state = sources[channel.code];
            if (const auto old = sources_.find(channel.code); old != sources_.end())
                state = std::move(old->second); // a channel keeps its headlines until its new source is read
            if (state.source != channel.source)
            {
                SourceState fresh;
                fresh.source = channel.source;
                fresh.headlines = std::move(state.headlines);
                state = std::move(fresh);
            }
        }
        sources_ = std::move(sources);
        channels_ = std::move(parsed.channels);
        if (!force)
        {
            const auto now = std::chrono::steady_clock::now();
            for (const Channel& channel : channels_)
                ReadSource(channel, sources_[channel.code], now, false);
        }
        return true;
    }

    bool Site::ReadSponsor(bool force)
    {
        const fs::path file = root_ / SponsorFile;
        const std::optional<Stamp> stamp = StampOf(file);
        if (!force && stamp == sponsorStamp_)
            return false;
        sponsorStamp_ = stamp;
        if (!stamp)
        {
            // No sponsor file: no sponsor.
            const bool had = sponsor_.has_value();
            sponsor_.reset();
            sponsorError_.clear();
            return had;
        }
        SourceBytes read = ReadFileCapped(file, MaxSettingsBytes);
        SponsorResult parsed;
        if (read.ok)
            parsed = ParseSponsor(read.bytes);
        else
            parsed.error = read.error;
        if (!parsed.ok)
        {
            if (parsed.error != sponsorError_)
                options_.note(std::string(SponsorFile) + ": " + parsed.error +
                              (sponsor_ ? "; the sponsor stays as it was" : "; no sponsor is served"));
            sponsorError_ = parsed.error;
            return false;
        }
        sponsorError_.clear();
        if (sponsor_ == parsed.sponsor)
            return false;
        sponsor_ = std::move(parsed.sponsor);
        return true;
    }

    bool Site::ReadSource(const Channel& channel, SourceState& state, std::chrono::steady_clock::time_point now, bool force)
    {
        if (!IsWebAddress(channel.source))
        {
            const std::optional<fs::path> file = InFolder(channel.source);
            const std::optional<Stamp> stamp = file ? StampOf(*file) : std::nullopt;
            if (!force && stamp && stamp == state.stamp)
                return false;
            state.stamp = stamp;
            SourceBytes read;
            if (file)
                read = ReadFileCapped(*file, options_.maxSourceBytes);
            else
                read.error = "no file " + channel.source + " in the content folder";
            if (!read.ok && !force && read.error == state.lastError)
                return false; // still missing: said already
            FeedResult feed;
            if (read.ok)
                feed = ParseFeed(read.bytes);
            else
                feed.error = read.error;
            return TakeFeed(channel, state, std::move(feed));
        }
        if (!force && now < state.due)
            return false;
        const SourceBytes read =
            FetchCapped(channel.source, options_.maxSourceBytes, options_.fetchTimeout, state.etag, state.lastModified);
        FeedResult feed;
        if (read.ok && !read.notModified)
            feed = ParseFeed(read.bytes, { read.address, CharsetOf(read.contentType) });
        else if (!read.ok)
            feed.error = read.error;
        // A source that fails is asked less often, doubling up to MaxBackOff.
        const bool failed = !read.ok || (!read.notModified && !feed.ok);
        state.failures = failed ? std::min(state.failures + 1, 16) : 0;
        std::chrono::seconds wait = channel.refresh;
        if (failed)
            wait = std::max(wait, std::min(wait * (1 << state.failures), MaxBackOff));
        state.due = now + wait;
        if (read.notModified)
        {
            if (!state.lastError.empty())
                options_.note("channel " + channel.code + ": " + channel.source + " reads again");
            state.lastError.clear();
            return false;
        }
        // Only an answer that read well is asked about again by its validators.
        state.etag = feed.ok ? read.etag : std::string();
        state.lastModified = feed.ok ? read.lastModified : std::string();
        return TakeFeed(channel, state, std::move(feed));
    }

    bool Site::TakeFeed(const Channel& channel, SourceState& state, FeedResult feed)
    {
        if (!feed.ok)
        {
            if (feed.error != state.lastError)
                options_.note("channel " + channel.code + ": " + feed.error +
                              (state.headlines ? "; its last good headlines stay" : "; no headlines yet"));
            state.lastError = feed.error;
            return false;
        }
        if (!state.lastError.empty())
            options_.note("channel " + channel.code + ": " + channel.source + " reads again");
        state.lastError.clear();
        if (!feed.warning.empty() && feed.warning != state.lastWarning)
            options_.note("channel " + channel.code + ": " + feed.warning);
        state.lastWarning = feed.warning;
        state.format = feed.format;
        state.encoding = feed.encoding;
        if (state.headlines == feed.headlines)
            return false;
        state.headlines = std::move(feed.headlines);
        return true;
    }

    void Site::Rebuild()
    {
        auto next = std::make_shared<Generated>();
        auto add = [&](const std::string& name, std::string body, std::string_view type)
        {
            (*next)[name] = Document{ std::move(body), std::string(type), {}, 0 };
        };
        add("channels.txt", ChannelListDocument(channels_), Utf8Text);
        for (const Channel& channel : channels_)
        {
            add("channel/" + channel.code + ".txt", ChannelFeedDocument(channel), Cp1252Text);
            const SourceState& state = sources_[channel.code];
            add("headlines/" + channel.code + ".txt", HeadlinesDocument(state.headlines.value_or(std::vector<Headline>{})),
                Utf8Text);
        }
        if (sponsor_)
        {
            add("sponsor.txt", SponsorFeedDocument(*sponsor_), Cp1252Text);
            const std::string logo = IsWebAddress(sponsor_->logo) ? sponsor_->logo : options_.publicBase + sponsor_->logo;
            add("sponsor/logo.htm", LogoPageDocument(logo), "text/html; charset=utf-8");
        }
        std::string download = options_.publicBase + "help.htm";
        if (!options_.download.empty())
            download = options_.publicBase + "download/" + options_.download.filename().string();
        else if (!options_.downloadAddress.empty())
            download = options_.downloadAddress;
        add("version.txt", VersionDocument(options_.offerVersion, download), Utf8Text);

        const std::time_t now = std::time(nullptr);
        std::lock_guard lock(mutex_);
        for (auto& [name, doc] : *next)
        {
            doc.etag = "\"g" + Hex(Fnv1a(doc.body)) + "\"";
            const auto old = generated_->find(name);
            if (old != generated_->end() && old->second.body == doc.body)
                doc.modified = old->second.modified;
            else
                // A changed document is always dated later than the one it replaces,
                // so a date-only revalidation within the same second still sees it.
                doc.modified = old != generated_->end() ? std::max(now, old->second.modified + 1) : now;
        }
        generated_ = std::move(next);
    }

    std::optional<Document> Site::Find(const std::string& name) const
    {
        if (const std::shared_ptr<const Document> doc = Share(name))
            return *doc;
        return std::nullopt;
    }

    std::shared_ptr<const Document> Site::Share(const std::string& name) const
    {
        {
            std::lock_guard lock(mutex_);
            if (const auto doc = generated_->find(name); doc != generated_->end())
                return std::shared_ptr<const Document>(generated_, &doc->second);
        }
        return FindFile(name);
    }

    std::shared_ptr<const Document> Site::FindFile(const std::string& name) const
    {
        std::optional<fs::path> file;
        if (!options_.download.empty() && name == "download/" + options_.download.filename().string())
            file = options_.download;
        else if (!IsSettingsFile(name))
            file = InFolder(name);
        const std::optional<Stamp> stamp = file ? StampOf(*file) : std::nullopt;
        if (!stamp)
        {
            // Gone: its bytes need not stay in memory.
            std::lock_guard lock(filesMutex_);
            if (const auto kept = files_.find(name); kept != files_.end())
            {
                cachedBytes_ -= kept->second->body.size();
                files_.erase(kept);
            }
            return nullptr;
        }
        // The stamp names this version of the file without reading it again.
        const std::string etag =
            "\"f" + Hex(static_cast<std::uint64_t>(stamp->size)) + "-" +
            Hex(static_cast<std::uint64_t>(stamp->seconds) * 1000000000ULL + static_cast<std::uint64_t>(stamp->nanoseconds)) +
            "\"";
        {
            std::lock_guard lock(filesMutex_);
            if (const auto kept = files_.find(name); kept != files_.end() && kept->second->etag == etag)
                return kept->second;
        }
        SourceBytes read = ReadFileCapped(*file, MaxFileBytes);
        if (!read.ok)
            return nullptr;
        auto doc = std::make_shared<const Document>(
            Document{ std::move(read.bytes), ContentTypeOf(name), etag, static_cast<std::time_t>(stamp->seconds) });
        std::lock_guard lock(filesMutex_);
        if (const auto old = files_.find(name); old != files_.end())
        {
            cachedBytes_ -= old->second->body.size();
            files_.erase(old);
        }
        if (cachedBytes_ + doc->body.size() <= MaxCachedBytes)
        {
            files_.emplace(name, doc);
            cachedBytes_ += doc->body.size();
        }
        return doc;
    }

    std::vector<std::string> Site::Names() const
    {
        std::set<std::string> names;
        {
            std::lock_guard lock(mutex_);
            for (const auto& [name, doc] : *generated_)
                names.insert(name);
        }
        if (!options_.download.empty())
            names.insert("download/" + options_.download.filename().string());
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        {
            const std::string leaf = it->path().filename().string();
            if (leaf.starts_with('.'))
            {
                if (it->is_directory(ec))
                    it.disable_recursion_pending();
                continue;
            }
            const std::string name = fs::relative(it->path(), root_, ec).generic_string();
            if (!ec && !IsSettingsFile(name) && InFolder(name))
                names.insert(name);
        }
        return { names.begin(), names.end() };
    }

    std::vector<std::string> Site::ChannelsWithoutHeadlines() const
    {
        std::vector<std::string> codes;
        for (const Channel& channel : channels_)
            if (const auto state = sources_.find(channel.code); state == sources_.end() || !state->second.headlines)
                codes.push_back(channel.code);
        return codes;
    }

    std::vector<SourceReport> Site::Report() const
    {
        std::vector<SourceReport> report;
        for (const Channel& channel : channels_)
        {
            const auto state = sources_.find(channel.code);
            SourceReport line{ channel.code, channel.source, {}, {}, {}, {} };
            if (state != sources_.end())
            {
                line.format = state->second.format;
                line.encoding = state->second.encoding;
                line.headlines = state->second.headlines.value_or(std::vector<Headline>{});
                line.problem = !state->second.lastError.empty() ? state->second.lastError : state->second.lastWarning;
            }
            report.push_back(std::move(line));
        }
        return report;
    }

    std::string CheckText(const std::vector<SourceReport>& report)
    {
        std::string out;
        for (const SourceReport& line : report)
        {
            const std::size_t count = line.headlines.size();
            out += line.code + ": " + line.source + "\n";
            if (!line.format.empty())
                out += "  " + line.format + ", " + line.encoding + ", " + std::to_string(count) +
                       (count == 1 ? " headline\n" : " headlines\n");
            if (count != 0)
            {
                const Headline& first = line.headlines.front();
                out += "  first: " + first.title + (first.link.empty() ? "" : " <" + first.link + ">") + "\n";
            }
            if (!line.problem.empty())
                out += (count == 0 ? "  failed: " : "  note: ") + line.problem + "\n";
            else if (count == 0)
                out += "  failed: the feed has no items with a title\n";
        }
        return out;
    }

    bool Site::Export(const fs::path& dir, std::string& error) const
    {
        std::error_code ec;
        const fs::path target = fs::weakly_canonical(fs::absolute(dir, ec), ec);
        if (ec)
        {
            error = "cannot use " + dir.string() + ": " + ec.message();
            return false;
        }
        if (std::mismatch(root_.begin(), root_.end(), target.begin(), target.end()).first == root_.end())
        {
            error = "the export folder must not lie inside the content folder";
            return false;
        }
        for (const std::string& name : Names())
        {
            const std::optional<Document> doc = Find(name);
            if (!doc)
                continue; // gone since the listing
            const fs::path file = target / name;
            fs::create_directories(file.parent_path(), ec);
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out.write(doc->body.data(), static_cast<std::streamsize>(doc->body.size()));
            out.close();
            if (ec || !out)
            {
                error = "cannot write " + file.string();
                return false;
            }
        }
        return true;
    }
} // namespace content
