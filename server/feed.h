// Headlines out of a feed document: RSS 0.9x, 1.0 (RDF) and 2.0, Atom 0.3 and 1.0,
// in any character set that iconv reads. A document that breaks off or turns
// ill-formed gives the items read before the fault; one that is too deep, declares
// entities or is neither RSS nor Atom gives none.
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
    // Elements nested deeper than this refuse the whole document.
    constexpr std::size_t MaxFeedDepth = 64;

    // Where a document came from, as far as reading it needs.
    struct FeedSource
    {
        std::string address; // the document's own http(s) address: the base of relative links
        std::string charset; // the HTTP Content-Type's charset
    };

    struct FeedResult
    {
        bool ok = false;
        std::string error;   // why the document was refused, when not ok
        std::string warning; // when ok: the fault that ended an ill-formed document early
        std::string format;  // "RSS 2.0", "RSS 1.0", "Atom 1.0", ...
        std::string encoding;
        std::vector<Headline> headlines;
    };

    // Reads the items or entries in document order: at most MaxHeadlines, titles
    // as plain one-line text cut to MaxTitleBytes at a character boundary, items
    // without a title skipped, links resolved against xml:base and the source's
    // address. Safe on any bytes.
    FeedResult ParseFeed(std::string_view bytes, const FeedSource& source = {});
} // namespace content
