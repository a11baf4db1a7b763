#include "server/encoding.h"

#include "server/text.h"

#include <iconv.h>

#include <cerrno>

namespace content
{
    namespace
    {
        bool IsSpace(char c)
        {
            return c == ' ' || c == '\t' || c == '\r' || c == '\n';
        }

        struct Signature
        {
            std::string_view bytes;
            std::string_view encoding;
        };

        // Byte-order marks, the longer first where one begins another.
        constexpr Signature Marks[] = {
            { { "\x00\x00\xFE\xFF", 4 }, "UTF-32BE" },
            { { "\xFF\xFE\x00\x00", 4 }, "UTF-32LE" },
            { "\xEF\xBB\xBF", "UTF-8" },
            { "\xFE\xFF", "UTF-16BE" },
            { "\xFF\xFE", "UTF-16LE" },
        };

        // A document's first "<" in the wider encodings, without a mark.
        constexpr Signature Shapes[] = {
            { { "\x00\x00\x00<", 4 }, "UTF-32BE" },
            { { "<\x00\x00\x00", 4 }, "UTF-32LE" },
            { { "\x00<", 2 }, "UTF-16BE" },
            { { "<\x00", 2 }, "UTF-16LE" },
        };

        // The encoding that a label means on the web, as iconv names it.
        std::string Meaning(const std::string& label)
        {
            static constexpr std::pair<std::string_view, std::string_view> Supersets[] = {
                { "utf8", "UTF-8" },
                { "unicode-1-1-utf-8", "UTF-8" },
                { "us-ascii", "WINDOWS-1252" },
                { "ascii", "WINDOWS-1252" },
                { "iso-8859-1", "WINDOWS-1252" },
                { "iso8859-1", "WINDOWS-1252" },
                { "iso_8859-1", "WINDOWS-1252" },
                { "latin1", "WINDOWS-1252" },
                { "l1", "WINDOWS-1252" },
                { "cp1252", "WINDOWS-1252" },
                { "x-cp1252", "WINDOWS-1252" },
                { "gb2312", "GB18030" },
                { "gbk", "GB18030" },
                { "x-gbk", "GB18030" },
                { "cp936", "GB18030" },
                { "shift_jis", "WINDOWS-31J" },
                { "shift-jis", "WINDOWS-31J" },
                { "sjis", "WINDOWS-31J" },
                { "x-sjis", "WINDOWS-31J" },
                { "ms_kanji", "WINDOWS-31J" },
                { "cp932", "WINDOWS-31J" },
                { "euc-kr", "CP949" },
                { "ks_c_5601-1987", "CP949" },
            };
            for (const auto& [name, meant] : Supersets)
                if (label == name)
                    return std::string(meant);
            return UpperAscii(label);
        }

        // The bytes through iconv; a byte that does not start a character of the
        // encoding becomes U+FFFD. Empty, with ok false, when iconv does not know it.
        bool Iconv(std::string_view bytes, const std::string& encoding, std::string& out)
        {
            const iconv_t cd = iconv_open("UTF-8", encoding.c_str());
            if (cd == reinterpret_cast<iconv_t>(-1))
                return false;
            char* in = const_cast<char*>(bytes.data());
            std::size_t inLeft = bytes.size();
            char buffer[4096];
            while (true)
            {
                char* at = buffer;
                std::size_t room = sizeof buffer;
                const std::size_t done = inLeft == 0 ? iconv(cd, nullptr, nullptr, &at, &room) // the final shift
                                                     : iconv(cd, &in, &inLeft, &at, &room);
                out.append(buffer, static_cast<std::size_t>(at - buffer));
                if (done != static_cast<std::size_t>(-1))
                {
                    if (inLeft == 0)
                        break;
                    continue;
                }
                if (errno == E2BIG)
                    continue;
                // EILSEQ or EINVAL (cut short at the end): skip the byte.
                out += "\xEF\xBF\xBD";
                ++in;
                --inLeft;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
            }
            iconv_close(cd);
            return true;
        }

        // An encoding's name as a label may give it: nothing that iconv could take
        // for a path or an option.
        bool IsLabel(std::string_view label)
        {
            for (const char c : label)
                if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':'))
                    return false;
            return true;
        }

        // XML forbids the C0 controls but tab, line feed and carriage return; feeds
        // carry them anyway, and a reader shows them as spaces.
        void BlankControls(std::string& text)
        {
            for (char& c : text)
                if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                    c = ' ';
        }
    } // namespace

    DecodedText DecodeDocument(std::string_view bytes, std::string_view charset)
    {
        DecodedText result;
        std::string encoding;
        for (const Signature& mark : Marks)
            if (bytes.starts_with(mark.bytes))
            {
                encoding = mark.encoding;
                bytes.remove_prefix(mark.bytes.size());
                break;
            }
        for (const Signature& shape : Shapes)
            if (encoding.empty() && bytes.starts_with(shape.bytes))
                encoding = shape.encoding;
        if (encoding.empty())
        {
            const std::string label = charset.empty() ? DeclaredEncoding(bytes) : LowerAscii(charset);
            if (!IsLabel(label))
            {
                result.error = "unknown encoding " + label;
                return result;
            }
            encoding = label.empty() ? (IsUtf8(bytes) ? "UTF-8" : "WINDOWS-1252") : Meaning(label);
            // Bytes shaped like ASCII that call themselves UTF-16 or UTF-32 are not.
            if (encoding.starts_with("UTF-16") || encoding.starts_with("UTF-32") || encoding == "UCS-2" || encoding == "UCS-4")
                encoding = "UTF-8";
        }
        if (encoding == "UTF-8")
            result.utf8 = Utf8WithStrayCp1252(bytes);
        else if (encoding == "WINDOWS-1252")
            result.utf8 = Cp1252ToUtf8(bytes);
        else if (!Iconv(bytes, encoding, result.utf8))
        {
            result.error = "unknown encoding " + encoding;
            return result;
        }
        else
            result.utf8 = RepairUtf8(result.utf8);
        BlankControls(result.utf8);
        result.ok = true;
        result.encoding = std::move(encoding);
        return result;
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

    std::string CharsetOf(std::string_view contentType)
    {
        std::string_view rest = contentType;
        for (std::size_t semi = rest.find(';'); semi != std::string_view::npos;)
        {
            rest.remove_prefix(semi + 1);
            semi = rest.find(';');
            std::string_view parameter = rest.substr(0, semi);
            while (!parameter.empty() && IsSpace(parameter.front()))
                parameter.remove_prefix(1);
            while (!parameter.empty() && IsSpace(parameter.back()))
                parameter.remove_suffix(1);
            if (LowerAscii(parameter.substr(0, 8)) != "charset=")
                continue;
            std::string_view value = parameter.substr(8);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            return LowerAscii(value);
        }
        return {};
    }
} // namespace content
