#include "engine/NormalisedPage.h"

#include "fetch/Utf8Validator.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstring>
#include <memory>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace
{

// Uninitialised on purpose: every byte used is written first, and zeroing 50 MB costs as much as
// matching it.
struct PageBuffer {
    std::unique_ptr<char[]> data;
    std::size_t capacity = 0;

    // Grows to at least n bytes, keeping the first keep bytes.
    char* ensure(std::size_t n, std::size_t keep)
    {
        if (n > capacity) {
            const std::size_t grown = std::max(n, capacity + capacity / 2);
            std::unique_ptr<char[]> bigger(new char[grown]);
            if (keep)
                std::memcpy(bigger.get(), data.get(), keep);
            data = std::move(bigger);
            capacity = grown;
        }
        return data.get();
    }
};

thread_local PageBuffer t_buffer;

bool isTrimmed(char16_t c)
{
    return c <= 32;
}

#ifdef __SSE2__
// One step of the copies below: the 16 bytes at from (loaded as chunk) to o without their line feeds;
// 32 bytes from `from` on must be readable. Returns the new end of the output.
inline __attribute__((always_inline)) char* copyChunkWithoutLineFeeds(__m128i chunk, const char* from, char* o)
{
    const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n'))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), chunk);
    if (mask == 0)
        return o + 16;
    if ((mask & (mask - 1)) == 0) {
        // One line feed at i: the 16 bytes after it overwrite it and what followed; the next chunk
        // rewrites the bytes that ran into its part with the same values.
        const int i = __builtin_ctz(mask);
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(o + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 1)));
        return o + 15;
    }
    for (int k = 0; k < 16; ++k) {
        *o = from[k];
        o += from[k] != '\n';
    }
    return o;
}
#endif

// Copies [from, from + n) to out without line feeds; returns the bytes written.
// Sixteen bytes at a time: lines of markup are short, and a call of memchr per line costs more than
// matching a simple pattern over the page.
std::size_t copyWithoutLineFeeds(const char* from, std::size_t n, char* out)
{
    const char* end = from + n;
    char* o = out;
#ifdef __SSE2__
    // 32 bytes ahead are readable in this loop, for the chunk with one line feed.
    while (end - from >= 32) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        o = copyChunkWithoutLineFeeds(chunk, from, o);
        from += 16;
    }
#endif
    for (; from < end; ++from) {
        *o = *from;
        o += *from != '\n';
    }
    return std::size_t(o - out);
}

#ifdef GLIMMERPICK_SSSE3_UTF8
// The copy above and the UTF-8 check in one pass: each block is checked while it is in a register
// anyway. False when the bytes are not valid UTF-8 (out then holds something unusable).
__attribute__((target("ssse3"))) bool copyCheckedWithoutLineFeeds(
    const char* from, std::size_t n, char* out, std::size_t& written)
{
    const char* end = from + n;
    char* o = out;
    Utf8Validator check;
    while (end - from >= 32) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        check.block(chunk);
        o = copyChunkWithoutLineFeeds(chunk, from, o);
        from += 16;
    }
    if (end - from >= 16) {
        check.block(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
        for (int k = 0; k < 16; ++k) {
            *o = from[k];
            o += from[k] != '\n';
        }
        from += 16;
    }
    const bool valid = check.finish(from, std::size_t(end - from));
    for (; from < end; ++from) {
        *o = *from;
        o += *from != '\n';
    }
    written = std::size_t(o - out);
    return valid;
}
#endif

std::string_view trimmedBytes(std::string_view text)
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && isTrimmed(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && isTrimmed(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

} // namespace

NormalisedPage::NormalisedPage(Unchecked page)
{
    // Only bytes <= 32 are cut, which no multi-byte sequence holds: the rest is valid exactly when
    // the whole is.
    const std::string_view text = trimmedBytes(page.bytes);
    // An empty page may have no bytes at all (a failed fetch): nothing to copy or check.
    if (text.empty())
        return;
    char* out = t_buffer.ensure(text.size(), 0);
    std::size_t written = 0;
#ifdef GLIMMERPICK_SSSE3_UTF8
    if (Utf8Validator::hasBlockCheck()) {
        if (copyCheckedWithoutLineFeeds(text.data(), text.size(), out, written)) {
            m_text = std::string_view(out, written);
            return;
        }
        normalise(QString::fromUtf8(page.bytes.data(), qsizetype(page.bytes.size())));
        return;
    }
#endif
    if (!Utf8Validator::isValid(text)) {
        normalise(QString::fromUtf8(page.bytes.data(), qsizetype(page.bytes.size())));
        return;
    }
    m_text = std::string_view(out, copyWithoutLineFeeds(text.data(), text.size(), out));
}

NormalisedPage::NormalisedPage(std::string_view utf8)
{
    const std::string_view text = trimmedBytes(utf8);
    if (text.empty())
        return;
    const void* firstLf = std::memchr(text.data(), '\n', text.size());
    if (!firstLf) {
        m_text = text;
        return;
    }
    const std::size_t head = std::size_t(static_cast<const char*>(firstLf) - text.data());
    char* out = t_buffer.ensure(text.size(), 0);
    std::memcpy(out, text.data(), head);
    m_text = std::string_view(
        out, head + copyWithoutLineFeeds(text.data() + head + 1, text.size() - head - 1, out + head));
}

NormalisedPage::NormalisedPage(QStringView text)
{
    normalise(text);
}

void NormalisedPage::normalise(QStringView text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isTrimmed(text[begin].unicode()))
        ++begin;
    while (end > begin && isTrimmed(text[end - 1].unicode()))
        --end;
    text = text.sliced(begin, end - begin);

    // Encoded in slices so that the buffer grows with the UTF-8 size, not with the worst case of three
    // bytes per code unit; a slice never ends between the two halves of a surrogate pair. toUtf8() per
    // slice, so that an unpaired surrogate gives exactly what the whole page's toUtf8() would.
    constexpr qsizetype Slice = 64 * 1024;
    std::size_t size = 0;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype n = std::min(Slice, text.size() - at);
        if (at + n < text.size() && text[at + n - 1].isHighSurrogate())
            --n;
        const QByteArray utf8 = text.sliced(at, n).toUtf8();
        char* base = t_buffer.ensure(size + std::size_t(utf8.size()), size);
        size += copyWithoutLineFeeds(utf8.constData(), std::size_t(utf8.size()), base + size);
        at += n;
    }
    m_text = std::string_view(t_buffer.data.get(), size);
}

NormalisedPage::~NormalisedPage()
{
    if (t_buffer.capacity > KeptBufferBytes) {
        t_buffer.data.reset();
        t_buffer.capacity = 0;
    }
}
