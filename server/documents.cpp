#include "server/documents.h"

#include "server/text.h"

namespace content
{
    namespace
    {
        // A field for a document that the strip cuts by text search, in its code page.
        std::string StripField(std::string_view utf8, bool barToo)
        {
            std::string out;
            for (const char c : OneLine(utf8))
            {
                if (c == '<')
                    out += "\xE2\x80\xB9"; // single left-pointing angle quotation mark
                else if (c == '>')
                    out += "\xE2\x80\xBA"; // single right-pointing angle quotation mark
                else if (c == '|' && barToo)
                    out += "\xC2\xA6"; // broken bar
                else
                    out += c;
            }
            return Utf8ToCp1252(out);
        }

        // A field of a tab-separated line.
        std::string LineField(std::string_view text)
        {
            return OneLine(RepairUtf8(text));
        }
    } // namespace

    std::string ChannelListDocument(const std::vector<Channel>& channels)
    {
        std::string out;
        for (const Channel& channel : channels)
            out += LineField(channel.code) + '\t' + LineField(channel.name) + '\n';
        return out;
    }

    std::string ChannelFeedDocument(const Channel& channel)
    {
        return "<feed>\r\n<channel>" + StripField(channel.code, true) + "</channel>\r\n<name>" + StripField(channel.name, true) +
               "</name>\r\n<announcement>" + StripField(channel.announcement, true) + "</announcement>\r\n</feed>\r\n";
    }

    std::string HeadlinesDocument(const std::vector<Headline>& headlines)
    {
        std::string out;
        for (const Headline& h : headlines)
            out += LineField(h.title) + '\t' + LineField(h.link) + '\n';
        return out;
    }

    std::string SponsorFeedDocument(const Sponsor& sponsor)
    {
        return "<sponsor>\r\n<URL>" + StripField(sponsor.link, false) + "</URL>\r\n<text>" + StripField(sponsor.text, false) +
               "</text>\r\n</sponsor>\r\n";
    }

    std::string LogoPageDocument(std::string_view logoAddress)
    {
        return "document.write(\"<img src=\\\"" + std::string(logoAddress) +
               "\\\" width=\\\"59\\\" height=\\\"25\\\" border=\\\"0\\\" alt=\\\"\\\">\");\n";
    }

    std::string VersionDocument(std::string_view version, std::string_view downloadAddress)
    {
        return std::string(version) + '\n' + std::string(downloadAddress) + '\n';
    }

    bool IsVersion(std::string_view version)
    {
        if (version.empty() || version.size() > 32 || version.front() == '.' || version.back() == '.')
            return false;
        for (std::size_t i = 0; i < version.size(); ++i)
        {
            const char c = version[i];
            if (c == '.' ? version[i - 1] == '.' : (c < '0' || c > '9'))
                return false;
        }
        return true;
    }
} // namespace content
