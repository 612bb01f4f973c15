#include "fetch/PageDecoder.h"

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

#ifdef __SSE2__
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

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

std::string latin1ToUtf8(std::string body)
{
    std::size_t high = 0;
    for (const char c : body)
        high += static_cast<unsigned char>(c) >> 7;
    if (high == 0)
        return body;
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

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define GLIMMERPICK_SSSE3_UTF8 1

// Keiser and Lemire's check ("Validating UTF-8 in less than one instruction per byte"): three
// table look-ups per 16 bytes classify every pair of neighbouring bytes; a block of ASCII costs
// one test. Pages with many accented or CJK words spend most of their decoding time here.
namespace utf8simd
{

enum : std::uint8_t {
    TooShort = 1 << 0,
    TooLong = 1 << 1,
    Overlong3 = 1 << 2,
    TooLarge = 1 << 3,
    Surrogate = 1 << 4,
    Overlong2 = 1 << 5,
    TooLarge1000 = 1 << 6,
    Overlong4 = 1 << 6,
    TwoConts = 1 << 7,
    Carry = TooShort | TooLong | TwoConts,
};

__attribute__((target("ssse3"))) inline __m128i lookup(__m128i nibbles, __m128i table)
{
    return _mm_shuffle_epi8(table, nibbles);
}

__attribute__((target("ssse3"))) inline __m128i table(std::uint8_t a, std::uint8_t b, std::uint8_t c,
    std::uint8_t d, std::uint8_t e, std::uint8_t f, std::uint8_t g, std::uint8_t h, std::uint8_t i, std::uint8_t j,
    std::uint8_t k, std::uint8_t l, std::uint8_t m, std::uint8_t n, std::uint8_t o, std::uint8_t p)
{
    return _mm_setr_epi8(char(a), char(b), char(c), char(d), char(e), char(f), char(g), char(h), char(i), char(j),
        char(k), char(l), char(m), char(n), char(o), char(p));
}

// The error bits of one block, given the block before it.
__attribute__((target("ssse3"))) inline __m128i blockErrors(__m128i input, __m128i previous)
{
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i prev1 = _mm_alignr_epi8(input, previous, 15);
    const __m128i byte1High = lookup(_mm_and_si128(_mm_srli_epi16(prev1, 4), low),
        table(TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TwoConts, TwoConts, TwoConts,
            TwoConts, TooShort | Overlong2, TooShort, TooShort | Overlong3 | Surrogate,
            TooShort | TooLarge | TooLarge1000 | Overlong4));
    constexpr std::uint8_t big = Carry | TooLarge | TooLarge1000;
    const __m128i byte1Low = lookup(_mm_and_si128(prev1, low),
        table(Carry | Overlong3 | Overlong2 | Overlong4, Carry | Overlong2, Carry, Carry, Carry | TooLarge, big,
            big, big, big, big, big, big, big, big | Surrogate, big, big));
    constexpr std::uint8_t cont = TooLong | Overlong2 | TwoConts;
    const __m128i byte2High = lookup(_mm_and_si128(_mm_srli_epi16(input, 4), low),
        table(TooShort, TooShort, TooShort, TooShort, TooShort, TooShort, TooShort, TooShort,
            cont | Overlong3 | TooLarge1000 | Overlong4, cont | Overlong3 | TooLarge, cont | Surrogate | TooLarge,
            cont | Surrogate | TooLarge, TooShort, TooShort, TooShort, TooShort));
    const __m128i special = _mm_and_si128(_mm_and_si128(byte1High, byte1Low), byte2High);
    // Third and fourth bytes of three- and four-byte sequences must be continuations.
    const __m128i prev2 = _mm_alignr_epi8(input, previous, 14);
    const __m128i prev3 = _mm_alignr_epi8(input, previous, 13);
    const __m128i must23 = _mm_or_si128(_mm_subs_epu8(prev2, _mm_set1_epi8(char(0xE0 - 0x80))),
        _mm_subs_epu8(prev3, _mm_set1_epi8(char(0xF0 - 0x80))));
    return _mm_xor_si128(_mm_and_si128(must23, _mm_set1_epi8(char(0x80))), special);
}

// Non-zero where the block ends inside a sequence that the next block must complete.
__attribute__((target("ssse3"))) inline __m128i incompleteAtEnd(__m128i input)
{
    const __m128i limits
        = _mm_setr_epi8(char(255), char(255), char(255), char(255), char(255), char(255), char(255), char(255),
            char(255), char(255), char(255), char(255), char(255), char(0xF0 - 1), char(0xE0 - 1), char(0xC0 - 1));
    return _mm_subs_epu8(input, limits);
}

struct State {
    __m128i error = _mm_setzero_si128();
    __m128i previous = _mm_setzero_si128();
    __m128i previousIncomplete = _mm_setzero_si128();
};

__attribute__((target("ssse3"))) inline void step(State& state, __m128i input)
{
    if (_mm_movemask_epi8(input) == 0) {
        state.error = _mm_or_si128(state.error, state.previousIncomplete);
    } else {
        state.error = _mm_or_si128(state.error, blockErrors(input, state.previous));
        state.previousIncomplete = incompleteAtEnd(input);
    }
    state.previous = input;
}

inline bool clean(__m128i error)
{
    return _mm_movemask_epi8(_mm_cmpeq_epi8(error, _mm_setzero_si128())) == 0xFFFF;
}

__attribute__((target("ssse3"))) bool isValid(std::string_view text)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    State state;
    for (; end - p >= 16; p += 16) {
        step(state, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        // Now and then, so that an invalid page stops early but a valid one pays no test per block.
        if ((reinterpret_cast<std::uintptr_t>(p) & 0x3F0) == 0 && !clean(state.error))
            return false;
    }
    if (p < end) {
        // The rest, padded with zeros: ASCII, which also shows a sequence cut short by the end.
        alignas(16) char last[16] = {};
        std::memcpy(last, p, std::size_t(end - p));
        step(state, _mm_load_si128(reinterpret_cast<const __m128i*>(last)));
    }
    return clean(_mm_or_si128(state.error, state.previousIncomplete));
}

} // namespace utf8simd
#endif

// The same answer as QByteArrayView::isValidUtf8 (no overlong forms, surrogates or code points
// above U+10FFFF), at a fraction of its cost on pages that are mostly ASCII: those runs are
// skipped 16 bytes at a time.
bool isValidUtf8Scalar(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
#ifdef __SSE2__
        while (end - p >= 16) {
            const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
            if (high != 0) {
                p += __builtin_ctz(unsigned(high));
                break;
            }
            p += 16;
        }
        if (p == end)
            break;
#endif
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        char32_t least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1, cp = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3, cp = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

bool isValidUtf8(std::string_view text)
{
#ifdef GLIMMERPICK_SSSE3_UTF8
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        return utf8simd::isValid(text);
#endif
    return isValidUtf8Scalar(text);
}

std::string utf8Checked(std::string body)
{
    if (isValidUtf8(body))
        return body;
    // Rare: Qt's decoder puts U+FFFD for every invalid sequence.
    const QByteArray fixed = QString::fromUtf8(body.data(), qsizetype(body.size())).toUtf8();
    return std::string(fixed.constData(), std::size_t(fixed.size()));
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

std::string decodePageToUtf8(std::string body, std::string_view contentType)
{
    const Charset cs = detectCharset(body, contentType);
    if (cs.bomLength)
        body.erase(0, cs.bomLength);
    if (cs.name.empty())
        return latin1ToUtf8(std::move(body));

    const std::optional<QStringConverter::Encoding> qtEncoding
        = QStringConverter::encodingForName(cs.name.c_str());
    if (qtEncoding && *qtEncoding != QStringConverter::System) {
        switch (*qtEncoding) {
        case QStringConverter::Utf8:
            return utf8Checked(std::move(body));
        case QStringConverter::Latin1:
            return latin1ToUtf8(std::move(body));
        default: {
            QStringDecoder decoder(*qtEncoding);
            return fromQString(decoder.decode(QByteArrayView(body.data(), qsizetype(body.size()))));
        }
        }
    }
    // ASCII pages often carry non-ASCII bytes anyway; Latin-1 keeps every byte.
    if (cs.name == "us-ascii" || cs.name == "ascii")
        return latin1ToUtf8(std::move(body));
    // The shared Windows-1252 table keeps the five bytes iconv rejects.
    if (cs.name == "windows-1252" || cs.name == "cp1252" || cs.name == "x-cp1252")
        return fromQString(decodeWindows1252(body.data(), qsizetype(body.size())));
    if (std::optional<std::string> converted = iconvToUtf8(cs.name, body))
        return std::move(*converted);
    return latin1ToUtf8(std::move(body));
}
