// Text helpers shared by the content server's parsers and documents: UTF-8 checks
// and cuts, the Windows-1252 code page that the strip reads its feeds in, and the
// one-line clean-up every published field goes through.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace content
{
    // The text with every byte sequence that is not well-formed UTF-8 (overlong
    // forms, surrogates, code points past U+10FFFF, cut sequences) replaced by U+FFFD.
    std::string RepairUtf8(std::string_view text);

    // At most max bytes of well-formed UTF-8 text, cut before a character that would
    // not fit whole.
    std::string CutUtf8(std::string_view text, std::size_t max);

    // One line: tabs, carriage returns, line feeds and other control characters
    // become spaces, runs of spaces become one, and the ends are trimmed.
    std::string OneLine(std::string_view text);

    // Windows-1252 bytes as UTF-8. The five bytes that the code page leaves undefined
    // become U+FFFD.
    std::string Cp1252ToUtf8(std::string_view text);

    // Whether the text is well-formed UTF-8.
    bool IsUtf8(std::string_view text);

    // Text that is meant to be UTF-8 with the bytes that are not read as
    // Windows-1252: what a publisher who pastes from a Windows program produces.
    std::string Utf8WithStrayCp1252(std::string_view text);

    // Well-formed UTF-8 with the C1 control characters U+0080 to U+009F read as the
    // Windows-1252 characters of the same bytes, as every browser does (U+FFFD for
    // the five that the code page leaves undefined).
    std::string FoldC1Controls(std::string_view text);

    // Well-formed UTF-8 text in Windows-1252; a character the code page lacks
    // becomes "?".
    std::string Utf8ToCp1252(std::string_view text);

    // An absolute http or https address of printable ASCII without spaces, quotes,
    // angle brackets or backslashes, at most 2048 bytes long, with a host.
    bool IsWebAddress(std::string_view text);

    // The code point in UTF-8; U+FFFD for NUL, a surrogate or a value past U+10FFFF.
    std::string CodePointToUtf8(std::uint32_t cp);

    // ASCII lower or upper case; other bytes unchanged.
    std::string LowerAscii(std::string_view text);
    std::string UpperAscii(std::string_view text);
} // namespace content
