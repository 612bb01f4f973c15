#include "engine/Pcre2Pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <new>
#include <string>

namespace
{

std::string errorText(int code)
{
    PCRE2_UCHAR buffer[256];
    const int n = pcre2_get_error_message(code, buffer, sizeof buffer);
    return n < 0 ? "PCRE2 error " + std::to_string(code)
                 : std::string(reinterpret_cast<char*>(buffer), std::size_t(n));
}

} // namespace

Pcre2Pattern::Pcre2Pattern(std::string_view patternUtf8, Case caseMode)
{
    pcre2_compile_context* compileContext = pcre2_compile_context_create(nullptr);
    if (!compileContext)
        throw std::bad_alloc();
    pcre2_set_newline(compileContext, PCRE2_NEWLINE_ANY);
    std::uint32_t options = PCRE2_UTF | PCRE2_NEVER_BACKSLASH_C;
    if (caseMode == Case::Insensitive)
        options |= PCRE2_CASELESS;
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    m_code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(patternUtf8.data()), patternUtf8.size(), options, &error,
        &errorOffset, compileContext);
    pcre2_compile_context_free(compileContext);
    if (!m_code)
        throw PatternError(errorText(error) + " at offset " + std::to_string(errorOffset));

    // Fails for lack of JIT support or executable memory; pcre2_match then interprets.
    m_jit = pcre2_jit_compile(m_code, PCRE2_JIT_COMPLETE) == 0;
    pcre2_pattern_info(m_code, PCRE2_INFO_CAPTURECOUNT, &m_captureCount);
    m_matchData = pcre2_match_data_create_from_pattern(m_code, nullptr);
    m_matchContext = pcre2_match_context_create(nullptr);
    if (!m_matchData || !m_matchContext) {
        release();
        throw std::bad_alloc();
    }
    pcre2_set_match_limit(m_matchContext, MatchLimit);
    pcre2_set_heap_limit(m_matchContext, HeapLimitKiB);
    if (m_jit) {
        // The default 32 KiB machine stack is too small for lazy quantifiers over long values.
        m_jitStack = pcre2_jit_stack_create(32 * 1024, JitStackMax, nullptr);
        if (m_jitStack)
            pcre2_jit_stack_assign(m_matchContext, nullptr, m_jitStack);
    }
    m_ovector = pcre2_get_ovector_pointer(m_matchData);
}

Pcre2Pattern::~Pcre2Pattern()
{
    release();
}

void Pcre2Pattern::release()
{
    pcre2_jit_stack_free(m_jitStack);
    pcre2_match_context_free(m_matchContext);
    pcre2_match_data_free(m_matchData);
    pcre2_code_free(m_code);
    m_jitStack = nullptr;
    m_matchContext = nullptr;
    m_matchData = nullptr;
    m_code = nullptr;
}

int Pcre2Pattern::match(std::string_view subject, std::size_t offset, bool notEmpty)
{
    const std::uint32_t options = PCRE2_NO_UTF_CHECK | (notEmpty ? PCRE2_NOTEMPTY : 0);
    const int rc = pcre2_match(m_code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), offset,
        options, m_matchData, m_matchContext);
    // 0 would mean too small an ovector, which cannot happen with match data made from the pattern.
    return rc == 0 ? PCRE2_ERROR_NOMEMORY : rc;
}

std::pair<std::size_t, std::size_t> Pcre2Pattern::group(int n) const
{
    return { m_ovector[2 * n], m_ovector[2 * n + 1] };
}

std::vector<int> Pcre2Pattern::groupNumbers(std::string_view nameUtf8) const
{
    std::vector<int> numbers;
    const std::string name(nameUtf8); // the name table lookup wants a terminated string
    PCRE2_SPTR first = nullptr, last = nullptr;
    // With both pointers given, the result is the size of one table entry.
    const int entrySize
        = pcre2_substring_nametable_scan(m_code, reinterpret_cast<PCRE2_SPTR>(name.c_str()), &first, &last);
    if (entrySize <= 0)
        return numbers;
    for (PCRE2_SPTR entry = first; entry <= last; entry += entrySize)
        numbers.push_back((int(entry[0]) << 8) | int(entry[1]));
    return numbers;
}
