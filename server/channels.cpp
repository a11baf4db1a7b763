#include "server/channels.h"

#include "server/request_path.h"
#include "server/text.h"

#include <pugixml.hpp>

#include <charconv>
#include <set>

namespace content
{
    namespace
    {
        std::string Text(const pugi::xml_node& parent, const char* name)
        {
            return OneLine(RepairUtf8(parent.child(name).text().get()));
        }

        bool Load(pugi::xml_document& doc, std::string_view bytes, const char* root, std::string& error)
        {
            const pugi::xml_parse_result parsed =
                doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
            if (!parsed)
            {
                error = std::string("not well-formed XML: ") + parsed.description() + " at byte " + std::to_string(parsed.offset);
                return false;
            }
            if (std::string_view(doc.document_element().name()) != root)
            {
                error = std::string("the root element must be <") + root + ">";
                return false;
            }
            return true;
        }

        // A source or logo: an http(s) address, or a path that stays in the folder.
        bool IsSource(std::string_view source)
        {
            return IsWebAddress(source) || ContentPath(source).has_value();
        }
    } // namespace

    bool IsChannelCode(std::string_view code)
    {
        if (code.empty() || code.size() > 32)
            return false;
        for (std::size_t i = 0; i < code.size(); ++i)
        {
            const char c = code[i];
            const bool alnum = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
            if (!alnum && (i == 0 || (c != '-' && c != '_')))
                return false;
        }
        return true;
    }

    namespace
    {
        ChannelsResult ReadChannels(std::string_view bytes)
        {
            ChannelsResult result;
            pugi::xml_document doc;
            if (!Load(doc, bytes, "channels", result.error))
                return result;
            std::set<std::string> codes;
            for (const pugi::xml_node node : doc.document_element().children("channel"))
            {
                Channel channel;
                channel.code = node.attribute("code").value();
                const std::string where = "channel " + std::to_string(result.channels.size() + 1) + " (\"" +
                                          OneLine(RepairUtf8(CutUtf8(channel.code, 40))) + "\"): ";
                if (!IsChannelCode(channel.code))
                {
                    result.error = where + "the code must be 1 to 32 of a-z 0-9 - _";
                    return result;
                }
                if (!codes.insert(channel.code).second)
                {
                    result.error = where + "the code is used twice";
                    return result;
                }
                channel.name = Text(node, "name");
                channel.announcement = Text(node, "announcement");
                channel.source = OneLine(node.child("source").text().get());
                if (channel.name.empty())
                {
                    result.error = where + "no <name>";
                    return result;
                }
                if (!IsSource(channel.source))
                {
                    result.error = where + "the <source> must be a path in the content folder or an http(s) address";
                    return result;
                }
                if (const pugi::xml_attribute refresh = node.child("source").attribute("refresh"))
                {
                    const std::string_view value = refresh.value();
                    long long seconds = 0;
                    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
                    if (ec != std::errc() || end != value.data() + value.size() || seconds < MinRefresh.count() ||
                        seconds > 86400)
                    {
                        result.error = where + "refresh must be a number of seconds from 30 to 86400";
                        return result;
                    }
                    channel.refresh = std::chrono::seconds(seconds);
                }
                if (result.channels.size() == MaxChannels)
                {
                    result.error = "more than " + std::to_string(MaxChannels) + " channels";
                    return result;
                }
                result.channels.push_back(std::move(channel));
            }
            if (result.channels.empty())
            {
                result.error = "no <channel>";
                return result;
            }
            result.ok = true;
            return result;
        }

        SponsorResult ReadSponsor(std::string_view bytes)
        {
            SponsorResult result;
            pugi::xml_document doc;
            if (!Load(doc, bytes, "sponsor", result.error))
                return result;
            const pugi::xml_node root = doc.document_element();
            result.sponsor.link = OneLine(root.child("link").text().get());
            result.sponsor.text = Text(root, "text");
            result.sponsor.logo = OneLine(root.child("logo").text().get());
            if (!result.sponsor.link.empty() && !IsWebAddress(result.sponsor.link))
            {
                result.error = "the <link> must be an http(s) address";
                return result;
            }
            // The strip finds the logo's address by its "http://": an https logo would be lost.
            const bool remote = LowerAscii(result.sponsor.logo.substr(0, 7)) == "http://" && IsWebAddress(result.sponsor.logo);
            if (!remote && !ContentPath(result.sponsor.logo))
            {
                result.error = "the <logo> must be a path in the content folder or an http:// address";
                return result;
            }
            result.ok = true;
            return result;
        }
    } // namespace

    // All or nothing: a refused file hands back none of the entries read before the
    // bad one.
    ChannelsResult ParseChannels(std::string_view bytes)
    {
        ChannelsResult result = ReadChannels(bytes);
        if (!result.ok)
            result.channels.clear();
        return result;
    }

    SponsorResult ParseSponsor(std::string_view bytes)
    {
        SponsorResult result = ReadSponsor(bytes);
        if (!result.ok)
            result.sponsor = {};
        return result;
    }
} // namespace content
