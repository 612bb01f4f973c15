#include "fetch/Utf8Validator.h"

#include <cstring>

namespace
{

// Pages that are mostly ASCII skip those runs 16 bytes at a time.
bool isValidScalar(std::string_view text)
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

#ifdef GLIMMERPICK_SSSE3_UTF8
__attribute__((target("ssse3"))) bool isValidBlocks(std::string_view text)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    Utf8Validator check;
    for (; end - p >= 16; p += 16) {
        check.block(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        // Now and then, so that an invalid page stops early but a valid one pays no test per block.
        if ((reinterpret_cast<std::uintptr_t>(p) & 0x3F0) == 0 && !check.clean())
            return false;
    }
    return check.finish(p, std::size_t(end - p));
}
#endif

} // namespace

bool Utf8Validator::isValid(std::string_view text)
{
#ifdef GLIMMERPICK_SSSE3_UTF8
    if (hasBlockCheck())
        return isValidBlocks(text);
#endif
    return isValidScalar(text);
}

#ifdef GLIMMERPICK_SSSE3_UTF8
bool Utf8Validator::hasBlockCheck()
{
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    return ssse3;
}

bool Utf8Validator::finish(const char* rest, std::size_t n)
{
    if (n > 0) {
        // Padded with zeros: ASCII, which also shows a sequence cut short by the end.
        alignas(16) char last[16] = {};
        std::memcpy(last, rest, n);
        block(_mm_load_si128(reinterpret_cast<const __m128i*>(last)));
    }
    return isZero(_mm_or_si128(m_error, m_previousIncomplete));
}
#endif
