// Cutting the fields out of the documents that the movies have the strip fetch: the
// channel feed, the sponsor feed and the logo page. The cuts are plain text
// searches, exact and case-sensitive; nothing is decoded and nothing is validated.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace app
{
    struct FieldTags
    {
        std::string_view open;
        std::string_view close;
    };

    // One field per pair of tags, each searched after the one before: the text after
    // the first opening tag up to the next closing tag. The rest of the text from the
    // closing tag on is searched for the next field. A missing opening tag of n
    // characters drops the first n - 1 characters of the text left; a missing
    // closing tag gives an empty field and leaves that text whole.
    std::vector<std::string> CutFields(std::string text, const std::vector<FieldTags>& tags);

    // The channel feed as the ticker movie takes it: code|name|announcement, with
    // the letters a to z upper-cased and every other byte unchanged.
    std::string ChannelValue(const std::string& feed);

    // The sponsor feed's link and text, in that order.
    std::pair<std::string, std::string> SponsorFields(const std::string& feed);

    // The logo's address in the logo page: from the first "http://" at or after the
    // first "<img" up to the next backslash, double quote and space. Without "<img"
    // the whole page is searched; without "http://" the address starts at the
    // "<img" (or the page's start); without the terminator it is empty.
    std::string LogoAddress(const std::string& page);

    // The getsponsor argument split at its first space into the sponsor feed's URL
    // and the logo page's URL; without a space the feed's URL is empty.
    std::pair<std::string, std::string> SplitSponsorArgs(const std::string& args);

    // The letters a to z upper-cased; every other byte stays as it is.
    std::string UpperAscii(std::string text);
} // namespace app
