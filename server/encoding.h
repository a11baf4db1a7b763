// A feed document's bytes as UTF-8, whatever character set they came in. The
// character set is the one a byte-order mark names, else the one the bytes' own
// shape shows (UTF-16 and UTF-32 without a mark), else the HTTP charset, else the
// XML declaration's; a document that names none is UTF-8 when it is valid UTF-8
// and Windows-1252 when it is not.
#pragma once

#include <string>
#include <string_view>

namespace content
{
    struct DecodedText
    {
        bool ok = false;
        std::string error;    // an encoding nobody here can read, when not ok
        std::string encoding; // what the bytes were read as, e.g. "UTF-8", "KOI8-R"
        std::string utf8;     // well-formed, without a byte-order mark
    };

    // charset: the HTTP Content-Type's charset parameter, or empty. Labels that the
    // web uses for a smaller set than it means are read as the larger one:
    // ISO-8859-1 and US-ASCII as Windows-1252, GB2312 and GBK as GB18030, Shift_JIS
    // as Windows-31J, EUC-KR as Windows-949. Bytes that are not a character of the
    // encoding become U+FFFD, except in UTF-8, where a stray byte is read as
    // Windows-1252. Control characters that XML forbids become spaces.
    DecodedText DecodeDocument(std::string_view bytes, std::string_view charset = {});

    // The character set declared by an XML declaration at the start of ASCII-like
    // bytes, lower-cased ("" when there is none).
    std::string DeclaredEncoding(std::string_view bytes);

    // The charset parameter of a Content-Type header, lower-cased ("" when absent).
    std::string CharsetOf(std::string_view contentType);
} // namespace content
