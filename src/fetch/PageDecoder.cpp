#include "fetch/PageDecoder.h"

#include "fetch/Utf8Validator.h"
#include "text/FileUtil.h"

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <optional>
#include <string_view>

namespace
{

// Far enough for the meta tags of real pages, short enough to cost nothing on large ones.
constexpr std::size_t kMetaScanLimit = 64 * 1024;

enum class Source { None, Header, Bom, Page };

struct Charset {
    std::string name; // lower case
    Source source = Source::None;
    std::size_t bomLength = 0;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lowerAscii(s[i]) != prefix[i])
            return false;
    }
    return true;
}

std::size_t findNoCase(std::string_view s, std::string_view needle, std::size_t from = 0)
{
    for (std::size_t i = from; i + needle.size() <= s.size(); ++i) {
        if (startsWithNoCase(s.substr(i), needle))
            return i;
    }
    return std::string_view::npos;
}

struct ContentType {
    std::string mediaType;
    std::string charset;
};

// type/subtype followed by ;-separated parameters; a value may be quoted (with \-escapes).
ContentType parseContentType(std::string_view header)
{
    ContentType ct;
    std::size_t pos = header.find(';');
    ct.mediaType = lowered(trimmed(header.substr(0, pos)));
    while (pos != std::string_view::npos && pos < header.size()) {
        ++pos;
        const std::size_t eq = header.find_first_of("=;", pos);
        if (eq == std::string_view::npos || header[eq] == ';') {
            pos = eq;
            continue;
        }
        const std::string name = lowered(trimmed(header.substr(pos, eq - pos)));
        pos = eq + 1;
        while (pos < header.size() && isBlank(header[pos]))
            ++pos;
        std::string value;
        if (pos < header.size() && header[pos] == '"') {
            for (++pos; pos < header.size() && header[pos] != '"'; ++pos) {
                if (header[pos] == '\\' && pos + 1 < header.size())
                    ++pos;
                value += header[pos];
            }
            pos = header.find(';', pos);
        } else {
            const std::size_t end = header.find(';', pos);
            value = std::string(trimmed(header.substr(pos, end == std::string_view::npos ? end : end - pos)));
            pos = end;
        }
        if (name == "charset" && ct.charset.empty())
            ct.charset = lowered(trimmed(value));
    }
    return ct;
}

bool isHtmlType(const std::string& type)
{
    return type == "text/html" || type == "application/xhtml+xml";
}

bool isXmlType(const std::string& type)
{
    return type == "text/xml" || type == "application/xml" || type == "application/xhtml+xml"
        || (type.size() > 4 && type.compare(type.size() - 4, 4, "+xml") == 0);
}

// A quoted or bare attribute value starting at pos; pos ends behind it.
std::string readValue(std::string_view s, std::size_t& pos, std::string_view bareStops)
{
    std::string value;
    if (pos < s.size() && (s[pos] == '"' || s[pos] == '\'')) {
        const char quote = s[pos++];
        const std::size_t end = s.find(quote, pos);
        const std::size_t stop = end == std::string_view::npos ? s.size() : end;
        value = s.substr(pos, stop - pos);
        pos = stop == s.size() ? stop : stop + 1;
        return value;
    }
    while (pos < s.size() && !isBlank(s[pos]) && bareStops.find(s[pos]) == std::string_view::npos)
        value += s[pos++];
    return value;
}

// charset=... inside a meta content attribute, as browsers read it.
std::string charsetFromMetaContent(std::string_view content)
{
    std::size_t pos = 0;
    while ((pos = findNoCase(content, "charset", pos)) != std::string_view::npos) {
        pos += 7;
        while (pos < content.size() && isBlank(content[pos]))
            ++pos;
        if (pos >= content.size() || content[pos] != '=')
            continue;
        ++pos;
        while (pos < content.size() && isBlank(content[pos]))
            ++pos;
        return readValue(content, pos, ";");
    }
    return {};
}

std::string metaCharset(std::string_view page)
{
    page = page.substr(0, kMetaScanLimit);
    std::size_t pos = 0;
    while ((pos = page.find('<', pos)) != std::string_view::npos) {
        if (page.compare(pos, 4, "<!--") == 0) {
            const std::size_t end = page.find("-->", pos + 4);
            if (end == std::string_view::npos)
                return {};
            pos = end + 3;
            continue;
        }
        if (!startsWithNoCase(page.substr(pos), "<meta") || pos + 5 >= page.size()
            || !(isBlank(page[pos + 5]) || page[pos + 5] == '/')) {
            ++pos;
            continue;
        }
        pos += 5;
        std::string charset, httpEquiv, content;
        while (pos < page.size()) {
            while (pos < page.size() && (isBlank(page[pos]) || page[pos] == '/'))
                ++pos;
            if (pos >= page.size() || page[pos] == '>')
                break;
            std::string name;
            while (pos < page.size() && !isBlank(page[pos]) && page[pos] != '=' && page[pos] != '>'
                && page[pos] != '/')
                name += lowerAscii(page[pos++]);
            while (pos < page.size() && isBlank(page[pos]))
                ++pos;
            std::string value;
            if (pos < page.size() && page[pos] == '=') {
                ++pos;
                while (pos < page.size() && isBlank(page[pos]))
                    ++pos;
                value = readValue(page, pos, ">");
            }
            if (name == "charset" && charset.empty())
                charset = value;
            else if (name == "http-equiv")
                httpEquiv = lowered(trimmed(value));
            else if (name == "content")
                content = value;
        }
        if (!trimmed(charset).empty())
            return lowered(trimmed(charset));
        if (httpEquiv == "content-type") {
            const std::string fromContent = lowered(trimmed(charsetFromMetaContent(content)));
            if (!fromContent.empty())
                return fromContent;
        }
    }
    return {};
}

std::string xmlDeclarationCharset(std::string_view page)
{
    if (page.compare(0, 5, "<?xml") != 0)
        return {};
    const std::size_t end = page.find("?>");
    if (end == std::string_view::npos)
        return {};
    const std::string_view decl = page.substr(0, end);
    std::size_t pos = decl.find("encoding");
    if (pos == std::string_view::npos)
        return {};
    pos += 8;
    while (pos < decl.size() && isBlank(decl[pos]))
        ++pos;
    if (pos >= decl.size() || decl[pos] != '=')
        return {};
    ++pos;
    while (pos < decl.size() && isBlank(decl[pos]))
        ++pos;
    return lowered(trimmed(readValue(decl, pos, "?")));
}

Charset detectCharset(std::string_view body, std::string_view contentTypeHeader)
{
    const ContentType ct = parseContentType(contentTypeHeader);
    std::size_t bomLength = 0;
    std::string bomName;
    if (body.size() >= 3 && body.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        bomLength = 3;
        bomName = "utf-8";
    } else if (body.size() >= 2 && body.compare(0, 2, "\xFF\xFE") == 0) {
        bomLength = 2;
        bomName = "utf-16le";
    } else if (body.size() >= 2 && body.compare(0, 2, "\xFE\xFF") == 0) {
        bomLength = 2;
        bomName = "utf-16be";
    }
    if (!ct.charset.empty())
        return { ct.charset, Source::Header, bomName == ct.charset ? bomLength : 0 };
    if (!bomName.empty())
        return { bomName, Source::Bom, bomLength };
    if (isXmlType(ct.mediaType) || isHtmlType(ct.mediaType)) {
        std::string name = xmlDeclarationCharset(body);
        if (name.empty() && isHtmlType(ct.mediaType))
            name = metaCharset(body);
        // A declaration readable as ASCII cannot be in UTF-16 or UTF-32; browsers take UTF-8 then.
        if (name.rfind("utf-16", 0) == 0 || name.rfind("utf-32", 0) == 0)
            name = "utf-8";
        if (!name.empty())
            return { name, Source::Page, 0 };
    }
    return {};
}

std::size_t highBytes(std::string_view text)
{
    std::size_t high = 0;
    for (const char c : text)
        high += static_cast<unsigned char>(c) >> 7;
    return high;
}

std::string latin1ToUtf8(std::string_view body, std::size_t high)
{
    std::string out;
    out.reserve(body.size() + high);
    for (const char c : body) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += char(0xC0 | (b >> 6));
            out += char(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::string fromQString(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), std::size_t(utf8.size()));
}

// glibc iconv for every charset Qt 6.4 does not carry without ICU. nullopt: iconv does not know it.
std::optional<std::string> iconvToUtf8(const std::string& charset, std::string_view in)
{
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    static constexpr char replacement[] = "\xEF\xBF\xBD";
    std::string out(in.size() + in.size() / 2 + 16, '\0');
    std::size_t used = 0;
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    // After the input, one more round without input flushes a stateful encoding's shift sequence.
    bool inputDone = false;
    for (;;) {
        char* dst = out.data() + used;
        std::size_t dstLeft = out.size() - used;
        const std::size_t r
            = inputDone ? iconv(cd, nullptr, nullptr, &dst, &dstLeft) : iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        const int err = r == std::size_t(-1) ? errno : 0;
        used = std::size_t(dst - out.data());
        if (err == 0) {
            if (inputDone)
                break;
            inputDone = true;
            continue;
        }
        if (err == E2BIG || out.size() - used < 3) {
            out.resize(out.size() * 2);
            continue;
        }
        if (inputDone || (err != EILSEQ && err != EINVAL))
            break;
        out.replace(used, 3, replacement, 3);
        used += 3;
        // EINVAL: an incomplete sequence at the very end.
        const std::size_t skip = err == EINVAL ? srcLeft : 1;
        src += skip;
        srcLeft -= skip;
    }
    iconv_close(cd);
    out.resize(used);
    return out;
}

} // namespace

std::string pageCharsetName(std::string_view body, std::string_view contentType)
{
    return detectCharset(body, contentType).name;
}

std::string_view pageUtf8View(
    std::string_view body, std::string_view contentType, std::string& converted, bool& utf8Checked)
{
    utf8Checked = true;
    const Charset cs = detectCharset(body, contentType);
    body.remove_prefix(cs.bomLength);
    const auto latin1 = [&]() -> std::string_view {
        const std::size_t high = highBytes(body);
        if (high == 0)
            return body;
        converted = latin1ToUtf8(body, high);
        return converted;
    };
    if (cs.name.empty())
        return latin1();

    const std::optional<QStringConverter::Encoding> qtEncoding
        = QStringConverter::encodingForName(cs.name.c_str());
    if (qtEncoding && *qtEncoding != QStringConverter::System) {
        switch (*qtEncoding) {
        case QStringConverter::Utf8:
            utf8Checked = false;
            return body;
        case QStringConverter::Latin1:
            return latin1();
        default: {
            QStringDecoder decoder(*qtEncoding);
            converted = fromQString(decoder.decode(QByteArrayView(body.data(), qsizetype(body.size()))));
            return converted;
        }
        }
    }
    // ASCII pages often carry non-ASCII bytes anyway; Latin-1 keeps every byte.
    if (cs.name == "us-ascii" || cs.name == "ascii")
        return latin1();
    // The shared Windows-1252 table keeps the five bytes iconv rejects.
    if (cs.name == "windows-1252" || cs.name == "cp1252" || cs.name == "x-cp1252") {
        converted = fromQString(decodeWindows1252(body.data(), qsizetype(body.size())));
        return converted;
    }
    if (std::optional<std::string> iconvConverted = iconvToUtf8(cs.name, body)) {
        converted = std::move(*iconvConverted);
        return converted;
    }
    return latin1();
}

std::string repairedUtf8(std::string_view text)
{
    // Qt's decoder puts U+FFFD for every invalid sequence.
    return fromQString(QString::fromUtf8(text.data(), qsizetype(text.size())));
}

std::string decodePageToUtf8(std::string body, std::string_view contentType)
{
    std::string converted;
    bool checked = true;
    const std::string_view text = pageUtf8View(body, contentType, converted, checked);
    const bool inBody = text.data() >= body.data() && text.data() <= body.data() + body.size();
    if (!inBody)
        return converted;
    if (!checked && !Utf8Validator::isValid(text))
        return repairedUtf8(text);
    body.erase(0, std::size_t(text.data() - body.data()));
    return body;
}
