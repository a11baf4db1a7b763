#include "server/feed.h"

#include "server/text.h"

#include <pugixml.hpp>

#include <cstdint>

namespace content
{
    namespace
    {
        // The element's name without a namespace prefix.
        std::string_view LocalName(const pugi::xml_node& node)
        {
            std::string_view name = node.name();
            const std::size_t colon = name.find(':');
            return colon == std::string_view::npos ? name : name.substr(colon + 1);
        }

        pugi::xml_node Child(const pugi::xml_node& parent, std::string_view local)
        {
            for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling())
                if (n.type() == pugi::node_element && LocalName(n) == local)
                    return n;
            return {};
        }

        // All the text inside the element, markup left out.
        std::string AllText(const pugi::xml_node& node)
        {
            std::string out;
            for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling())
            {
                if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata)
                    out += n.value();
                else if (n.type() == pugi::node_element)
                    out += AllText(n);
            }
            return out;
        }

        std::string Title(std::string text)
        {
            return CutUtf8(OneLine(RepairUtf8(text)), MaxTitleBytes);
        }

        std::string Link(std::string_view text)
        {
            const std::string link = OneLine(text);
            return IsWebAddress(link) ? link : std::string();
        }

        void Add(FeedResult& result, std::string title, std::string link)
        {
            if (result.headlines.size() >= MaxHeadlines)
                return;
            title = Title(std::move(title));
            if (title.empty())
                return;
            result.headlines.push_back({ std::move(title), Link(link) });
        }

        void ReadRss(const pugi::xml_node& channel, FeedResult& result)
        {
            for (pugi::xml_node item = channel.first_child(); item; item = item.next_sibling())
            {
                if (item.type() != pugi::node_element || LocalName(item) != "item")
                    continue;
                std::string link = AllText(Child(item, "link"));
                const pugi::xml_node guid = Child(item, "guid");
                // A guid is the item's address unless it says it is not one.
                if (OneLine(link).empty() && guid && std::string_view(guid.attribute("isPermaLink").value()) != "false")
                    link = AllText(guid);
                Add(result, AllText(Child(item, "title")), link);
            }
        }

        std::string AtomLink(const pugi::xml_node& entry)
        {
            std::string fallback;
            for (pugi::xml_node n = entry.first_child(); n; n = n.next_sibling())
            {
                if (n.type() != pugi::node_element || LocalName(n) != "link")
                    continue;
                const std::string_view rel = n.attribute("rel").value();
                if (rel.empty() || rel == "alternate")
                    return n.attribute("href").value();
                if (fallback.empty() && rel != "self" && rel != "edit")
                    fallback = n.attribute("href").value();
            }
            return fallback;
        }

        void ReadAtom(const pugi::xml_node& feed, FeedResult& result)
        {
            for (pugi::xml_node entry = feed.first_child(); entry; entry = entry.next_sibling())
            {
                if (entry.type() != pugi::node_element || LocalName(entry) != "entry")
                    continue;
                const pugi::xml_node title = Child(entry, "title");
                std::string text = AllText(title);
                if (std::string_view(title.attribute("type").value()) == "html")
                    text = HtmlToText(text);
                Add(result, std::move(text), AtomLink(entry));
            }
        }

        bool IsSpace(char c)
        {
            return c == ' ' || c == '\t' || c == '\r' || c == '\n';
        }

        // The entity at html[i] ('&'), appended decoded; returns its length, or 0
        // when it is not one the reader knows (the '&' then stays as it is).
        std::size_t DecodeEntity(std::string_view html, std::size_t i, std::string& out)
        {
            const std::size_t semi = html.find(';', i);
            if (semi == std::string_view::npos || semi - i > 10)
                return 0;
            const std::string_view name = html.substr(i + 1, semi - i - 1);
            static constexpr std::pair<std::string_view, std::string_view> Named[] = {
                { "amp", "&" }, { "lt", "<" }, { "gt", ">" }, { "quot", "\"" }, { "apos", "'" }, { "nbsp", " " },
            };
            for (const auto& [key, value] : Named)
                if (name == key)
                {
                    out += value;
                    return semi - i + 1;
                }
            if (name.size() < 2 || name[0] != '#')
                return 0;
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            if (digits.empty())
                return 0;
            std::uint32_t cp = 0;
            for (const char c : digits)
            {
                std::uint32_t d = 0;
                if (c >= '0' && c <= '9')
                    d = static_cast<std::uint32_t>(c - '0');
                else if (hex && c >= 'a' && c <= 'f')
                    d = static_cast<std::uint32_t>(c - 'a' + 10);
                else if (hex && c >= 'A' && c <= 'F')
                    d = static_cast<std::uint32_t>(c - 'A' + 10);
                else
                    return 0;
                cp = cp * (hex ? 16 : 10) + d;
            }
            out += CodePointToUtf8(cp);
            return semi - i + 1;
        }
    } // namespace

    std::string HtmlToText(std::string_view html)
    {
        std::string out;
        for (std::size_t i = 0; i < html.size();)
        {
            if (html[i] == '<')
            {
                const std::size_t close = html.find('>', i);
                if (close == std::string_view::npos)
                    break; // an unclosed tag: the rest is markup
                out += ' ';
                i = close + 1;
                continue;
            }
            if (html[i] == '&')
                if (const std::size_t used = DecodeEntity(html, i, out); used != 0)
                {
                    i += used;
                    continue;
                }
            out += html[i++];
        }
        return out;
    }

    std::string DeclaredEncoding(std::string_view bytes)
    {
        if (!bytes.starts_with("<?xml"))
            return {};
        const std::string_view decl = bytes.substr(0, bytes.find("?>"));
        std::size_t at = decl.find("encoding");
        if (at == std::string_view::npos)
            return {};
        at += 8;
        while (at < decl.size() && IsSpace(decl[at]))
            ++at;
        if (at >= decl.size() || decl[at] != '=')
            return {};
        ++at;
        while (at < decl.size() && IsSpace(decl[at]))
            ++at;
        if (at >= decl.size() || (decl[at] != '"' && decl[at] != '\''))
            return {};
        const std::size_t end = decl.find(decl[at], at + 1);
        if (end == std::string_view::npos)
            return {};
        return LowerAscii(decl.substr(at + 1, end - at - 1));
    }

    FeedResult ParseFeed(std::string_view bytes)
    {
        FeedResult result;
        std::string utf8;
        pugi::xml_encoding encoding = pugi::encoding_utf8;
        const bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
        if (bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3);
        const std::string declared = utf16 ? std::string() : DeclaredEncoding(bytes);
        if (utf16)
            encoding = pugi::encoding_auto;
        else if (declared.empty() || declared == "utf-8" || declared == "utf8" || declared == "us-ascii")
            utf8 = RepairUtf8(bytes);
        else if (declared == "iso-8859-1" || declared == "latin1" || declared == "windows-1252" || declared == "cp1252")
            utf8 = Cp1252ToUtf8(bytes); // what publishers who say Latin-1 mostly mean
        else
        {
            result.error = "unsupported encoding " + declared;
            return result;
        }
        pugi::xml_document doc;
        const pugi::xml_parse_result parsed = utf16 ? doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, encoding)
                                                    : doc.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, encoding);
        if (!parsed)
        {
            result.error =
                std::string("not well-formed XML: ") + parsed.description() + " at byte " + std::to_string(parsed.offset);
            return result;
        }
        const pugi::xml_node root = doc.document_element();
        if (LocalName(root) == "rss")
        {
            const pugi::xml_node channel = Child(root, "channel");
            if (!channel)
            {
                result.error = "an RSS document without a channel";
                return result;
            }
            ReadRss(channel, result);
        }
        else if (LocalName(root) == "feed")
            ReadAtom(root, result);
        else
        {
            result.error = "neither RSS nor Atom: the root element is <" + std::string(root.name()) + ">";
            return result;
        }
        result.ok = true;
        return result;
    }
} // namespace content
