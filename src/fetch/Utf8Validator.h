#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define GLIMMERPICK_SSSE3_UTF8 1
#include <tmmintrin.h>
#endif

// Checks UTF-8 with the same answer as QByteArrayView::isValidUtf8 (no overlong forms, surrogates
// or code points above U+10FFFF). Kept although Qt has a check: Qt's was 7.8% of a run's
// instructions in the profile.
//
// The block interface lets a caller check a page in the same pass as other work on it: feed every
// 16-byte block in order, then the rest. It is inline so that the caller's loop keeps the state in
// registers; it needs SSSE3, so the caller's loop is compiled for it and asks hasBlockCheck() first.
class Utf8Validator
{
public:
    static bool isValid(std::string_view text);

#ifdef GLIMMERPICK_SSSE3_UTF8
    // Whether this processor has SSSE3.
    static bool hasBlockCheck();

    __attribute__((target("ssse3"))) void block(__m128i input)
    {
        if (_mm_movemask_epi8(input) == 0) {
            m_error = _mm_or_si128(m_error, m_previousIncomplete);
        } else {
            m_error = _mm_or_si128(m_error, blockErrors(input, m_previous));
            m_previousIncomplete = incompleteAtEnd(input);
        }
        m_previous = input;
    }

    // Takes the last n < 16 bytes and answers for everything fed.
    __attribute__((target("ssse3"))) bool finish(const char* rest, std::size_t n);

    // No error so far (a sequence cut short by the end of the blocks fed is not one yet).
    bool clean() const
    {
        return isZero(m_error);
    }

private:
    // Keiser and Lemire's check ("Validating UTF-8 in less than one instruction per byte"): three
    // table look-ups per 16 bytes classify every pair of neighbouring bytes; a block of ASCII costs
    // one test.
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

    static bool isZero(__m128i v)
    {
        return _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) == 0xFFFF;
    }

    __attribute__((target("ssse3"))) static __m128i lookup(__m128i nibbles, __m128i table)
    {
        return _mm_shuffle_epi8(table, nibbles);
    }

    static __m128i table(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d, std::uint8_t e,
        std::uint8_t f, std::uint8_t g, std::uint8_t h, std::uint8_t i, std::uint8_t j, std::uint8_t k,
        std::uint8_t l, std::uint8_t m, std::uint8_t n, std::uint8_t o, std::uint8_t p)
    {
        return _mm_setr_epi8(char(a), char(b), char(c), char(d), char(e), char(f), char(g), char(h), char(i),
            char(j), char(k), char(l), char(m), char(n), char(o), char(p));
    }

    // The error bits of one block, given the block before it.
    __attribute__((target("ssse3"))) static __m128i blockErrors(__m128i input, __m128i previous)
    {
        const __m128i low = _mm_set1_epi8(0x0F);
        const __m128i prev1 = _mm_alignr_epi8(input, previous, 15);
        const __m128i byte1High = lookup(_mm_and_si128(_mm_srli_epi16(prev1, 4), low),
            table(TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TwoConts, TwoConts,
                TwoConts, TwoConts, TooShort | Overlong2, TooShort, TooShort | Overlong3 | Surrogate,
                TooShort | TooLarge | TooLarge1000 | Overlong4));
        constexpr std::uint8_t big = Carry | TooLarge | TooLarge1000;
        const __m128i byte1Low = lookup(_mm_and_si128(prev1, low),
            table(Carry | Overlong3 | Overlong2 | Overlong4, Carry | Overlong2, Carry, Carry, Carry | TooLarge,
                big, big, big, big, big, big, big, big, big | Surrogate, big, big));
        constexpr std::uint8_t cont = TooLong | Overlong2 | TwoConts;
        const __m128i byte2High = lookup(_mm_and_si128(_mm_srli_epi16(input, 4), low),
            table(TooShort, TooShort, TooShort, TooShort, TooShort, TooShort, TooShort, TooShort,
                cont | Overlong3 | TooLarge1000 | Overlong4, cont | Overlong3 | TooLarge,
                cont | Surrogate | TooLarge, cont | Surrogate | TooLarge, TooShort, TooShort, TooShort, TooShort));
        const __m128i special = _mm_and_si128(_mm_and_si128(byte1High, byte1Low), byte2High);
        // Third and fourth bytes of three- and four-byte sequences must be continuations.
        const __m128i prev2 = _mm_alignr_epi8(input, previous, 14);
        const __m128i prev3 = _mm_alignr_epi8(input, previous, 13);
        const __m128i must23 = _mm_or_si128(_mm_subs_epu8(prev2, _mm_set1_epi8(char(0xE0 - 0x80))),
            _mm_subs_epu8(prev3, _mm_set1_epi8(char(0xF0 - 0x80))));
        return _mm_xor_si128(_mm_and_si128(must23, _mm_set1_epi8(char(0x80))), special);
    }

    // Non-zero where the block ends inside a sequence that the next block must complete.
    static __m128i incompleteAtEnd(__m128i input)
    {
        const __m128i limits = _mm_setr_epi8(char(255), char(255), char(255), char(255), char(255), char(255),
            char(255), char(255), char(255), char(255), char(255), char(255), char(255), char(0xF0 - 1),
            char(0xE0 - 1), char(0xC0 - 1));
        return _mm_subs_epu8(input, limits);
    }

    __m128i m_error = _mm_setzero_si128();
    __m128i m_previous = _mm_setzero_si128();
    __m128i m_previousIncomplete = _mm_setzero_si128();
#endif
};
