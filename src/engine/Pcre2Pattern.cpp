#include "engine/Pcre2Pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
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

std::shared_ptr<pcre2_code> compile(std::string_view patternUtf8, Pcre2Pattern::Case caseMode)
{
    pcre2_compile_context* compileContext = pcre2_compile_context_create(nullptr);
    if (!compileContext)
        throw std::bad_alloc();
    pcre2_set_newline(compileContext, PCRE2_NEWLINE_ANY);
    std::uint32_t options = PCRE2_UTF | PCRE2_NEVER_BACKSLASH_C;
    if (caseMode == Pcre2Pattern::Case::Insensitive)
        options |= PCRE2_CASELESS;
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(patternUtf8.data()), patternUtf8.size(), options,
        &error, &errorOffset, compileContext);
    pcre2_compile_context_free(compileContext);
    if (!code) {
        // PCRE2 counts bytes; a user counts characters.
        const auto characters = std::count_if(patternUtf8.begin(),
            patternUtf8.begin() + std::ptrdiff_t(std::min(errorOffset, patternUtf8.size())),
            [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
        throw PatternError(errorText(error) + " at offset " + std::to_string(characters));
    }
    std::shared_ptr<pcre2_code> owned(code, pcre2_code_free);
    // Fails for lack of JIT support or executable memory; pcre2_match then interprets.
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    return owned;
}

// What a thread keeps between calls: its recent patterns (most recent first), and one match context
// with its JIT stack, shared by the patterns of a call since they never match at the same time.
struct ThreadState {
    struct Entry {
        std::string pattern;
        Pcre2Pattern::Case caseMode;
        std::shared_ptr<pcre2_code> code;
    };
    std::vector<Entry> recent;
    pcre2_match_context* matchContext = nullptr;
    pcre2_jit_stack* jitStack = nullptr;

    ~ThreadState()
    {
        pcre2_match_context_free(matchContext);
        pcre2_jit_stack_free(jitStack);
    }

    std::shared_ptr<pcre2_code> code(std::string_view pattern, Pcre2Pattern::Case caseMode)
    {
        for (std::size_t i = 0; i < recent.size(); ++i) {
            if (recent[i].caseMode == caseMode && recent[i].pattern == pattern) {
                std::rotate(
                    recent.begin(), recent.begin() + std::ptrdiff_t(i), recent.begin() + std::ptrdiff_t(i) + 1);
                return recent.front().code;
            }
        }
        std::shared_ptr<pcre2_code> fresh = compile(pattern, caseMode);
        if (recent.size() == Pcre2Pattern::KeptPatterns)
            recent.pop_back(); // a pattern still in use lives on through its shared pointer
        recent.insert(recent.begin(), Entry { std::string(pattern), caseMode, fresh });
        return fresh;
    }

    pcre2_match_context* context()
    {
        if (!matchContext) {
            matchContext = pcre2_match_context_create(nullptr);
            if (!matchContext)
                throw std::bad_alloc();
            pcre2_set_match_limit(matchContext, Pcre2Pattern::MatchLimit);
            pcre2_set_heap_limit(matchContext, Pcre2Pattern::HeapLimitKiB);
            // The default 32 KiB machine stack is too small for lazy quantifiers over long values.
            jitStack = pcre2_jit_stack_create(32 * 1024, Pcre2Pattern::JitStackMax, nullptr);
            if (jitStack)
                pcre2_jit_stack_assign(matchContext, nullptr, jitStack);
        }
        return matchContext;
    }
};

thread_local ThreadState t_state;

} // namespace

Pcre2Pattern::Pcre2Pattern(std::string_view patternUtf8, Case caseMode) :
    m_code(t_state.code(patternUtf8, caseMode)), m_matchContext(t_state.context())
{
    pcre2_pattern_info(m_code.get(), PCRE2_INFO_CAPTURECOUNT, &m_captureCount);
    m_matchData = pcre2_match_data_create_from_pattern(m_code.get(), nullptr);
    if (!m_matchData)
        throw std::bad_alloc();
    m_ovector = pcre2_get_ovector_pointer(m_matchData);
}

Pcre2Pattern::~Pcre2Pattern()
{
    pcre2_match_data_free(m_matchData);
}

bool Pcre2Pattern::usesJit() const
{
    std::size_t size = 0;
    return pcre2_pattern_info(m_code.get(), PCRE2_INFO_JITSIZE, &size) == 0 && size > 0;
}

int Pcre2Pattern::match(std::string_view subject, std::size_t offset, bool notEmpty)
{
    const std::uint32_t options = PCRE2_NO_UTF_CHECK | (notEmpty ? PCRE2_NOTEMPTY : 0);
    const int rc = pcre2_match(m_code.get(), reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), offset,
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
        = pcre2_substring_nametable_scan(m_code.get(), reinterpret_cast<PCRE2_SPTR>(name.c_str()), &first, &last);
    if (entrySize <= 0)
        return numbers;
    for (PCRE2_SPTR entry = first; entry <= last; entry += entrySize)
        numbers.push_back((int(entry[0]) << 8) | int(entry[1]));
    return numbers;
}
