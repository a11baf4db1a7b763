// Text as a feed reader shows it when a feed carries HTML: tags taken out and
// entities decoded with the whole HTML named-entity table.
#pragma once

#include <string>
#include <string_view>

namespace content
{
    // The UTF-8 of an HTML named entity ("eacute" gives "é"), or empty when HTML
    // has no entity of that name.
    std::string HtmlEntity(std::string_view name);

    // Named (HTML's table and apos) and numeric character references decoded once;
    // anything else, a lone "&" included, stays as it is.
    std::string DecodeEntities(std::string_view text);

    // An HTML fragment as text: tags and comments out, entities decoded. A "<" that
    // cannot start a tag is text; an unclosed tag at the end is dropped.
    std::string HtmlToText(std::string_view html);

    // Base64 (white space ignored) decoded; decoding stops at the first byte that
    // is not base64.
    std::string DecodeBase64(std::string_view text);
} // namespace content
