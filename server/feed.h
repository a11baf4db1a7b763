// Headlines out of an RSS 2.0 or Atom document. The parse is all or nothing: a
// document that is not well-formed XML, is neither RSS nor Atom, or is in an
// encoding the server does not read gives an error and no headlines at all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace content
{
    // What the ticker shows of one item: a one-line title of well-formed UTF-8 and
    // the absolute http(s) address it opens, or an empty link.
    struct Headline
    {
        std::string title;
        std::string link;
        bool operator==(const Headline&) const = default;
    };

    constexpr std::size_t MaxHeadlines = 100;
    constexpr std::size_t MaxTitleBytes = 300;

    struct FeedResult
    {
        bool ok = false;
        std::string error; // why the document was refused, when not ok
        std::vector<Headline> headlines;
    };

    // Reads the items or entries in document order: at most MaxHeadlines, titles
    // cut to MaxTitleBytes at a character boundary, items without a title skipped.
    // Safe on any bytes.
    FeedResult ParseFeed(std::string_view bytes);

    // The document's declared character set, lower-cased ("" when it declares none).
    std::string DeclaredEncoding(std::string_view bytes);

    // Markup of an HTML fragment taken out and its common entities decoded: what an
    // Atom title of type "html" reads as.
    std::string HtmlToText(std::string_view html);
} // namespace content
