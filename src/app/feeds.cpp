#include "app/feeds.h"

#include <algorithm>

namespace app
{
    std::vector<std::string> CutFields(std::string text, const std::vector<FieldTags>& tags)
    {
        std::vector<std::string> fields;
        for (const FieldTags& tag : tags)
        {
            const std::size_t open = text.find(tag.open);
            // A missing opening tag counts as found at position 0, one before the text.
            const std::size_t from = open == std::string::npos ? tag.open.size() - 1 : open + tag.open.size();
            text.erase(0, std::min(from, text.size()));
            const std::size_t close = text.find(tag.close);
            if (close == std::string::npos)
            {
                fields.emplace_back();
                continue;
            }
            fields.push_back(text.substr(0, close));
            text.erase(0, close);
        }
        return fields;
    }

    std::string ChannelValue(const std::string& feed)
    {
        const auto f =
            CutFields(feed, { { "<channel>", "</channel>" }, { "<name>", "</name>" }, { "<announcement>", "</announcement>" } });
        return UpperAscii(f[0] + "|" + f[1] + "|" + f[2]);
    }

    std::pair<std::string, std::string> SponsorFields(const std::string& feed)
    {
        auto f = CutFields(feed, { { "<URL>", "</URL>" }, { "<text>", "</text>" } });
        return { std::move(f[0]), std::move(f[1]) };
    }

    std::string LogoAddress(const std::string& page)
    {
        std::size_t img = page.find("<img");
        if (img == std::string::npos)
            img = 0;
        std::size_t start = page.find("http://", img);
        if (start == std::string::npos)
            start = img;
        const std::size_t end = page.find("\\\" ", start);
        if (end == std::string::npos)
            return {};
        return page.substr(start, end - start);
    }

    std::pair<std::string, std::string> SplitSponsorArgs(const std::string& args)
    {
        const std::size_t space = args.find(' ');
        if (space == std::string::npos)
            return { std::string(), args };
        return { args.substr(0, space), args.substr(space + 1) };
    }

    std::string UpperAscii(std::string text)
    {
        for (char& c : text)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return text;
    }
} // namespace app
