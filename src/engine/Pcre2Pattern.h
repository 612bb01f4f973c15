#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;
struct pcre2_real_match_context_8;
struct pcre2_real_jit_stack_8;

// A compile error; what() is PCRE2's message and the offset in the pattern, in characters.
class PatternError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One compiled PCRE2 pattern (8-bit, UTF) with its own match data and limits, for the thread that made it.
// Any Unicode newline ends a line. \C is refused: it can end a match inside a character, and every
// subject here is matched without a UTF check.
// Each thread keeps its last few compiled patterns and one JIT stack, because compiling, JIT-compiling
// and mapping a stack cost more than matching a typical page with a simple pattern.
class Pcre2Pattern
{
public:
    enum class Case { Insensitive, Sensitive };

    // Throws PatternError when the pattern does not compile. Uses the JIT when it compiles there,
    // PCRE2's interpreter otherwise.
    Pcre2Pattern(std::string_view patternUtf8, Case caseMode);
    ~Pcre2Pattern();
    Pcre2Pattern(const Pcre2Pattern&) = delete;
    Pcre2Pattern& operator=(const Pcre2Pattern&) = delete;

    // Searches subject from offset (a character boundary) without checking its UTF-8: the caller
    // guarantees it is valid. Returns 1 + the highest group that took part, PCRE2_ERROR_NOMATCH, or
    // another negative PCRE2 error (a match, depth, heap or JIT stack limit, ...).
    int match(std::string_view subject, std::size_t offset, bool notEmpty = false);

    // Start and end of group n of the last match; PCRE2_UNSET (both) when it did not take part.
    std::pair<std::size_t, std::size_t> group(int n) const;
    int captureCount() const { return int(m_captureCount); }
    // Numbers of the groups called name, in order (several with (?J)); empty when there is none.
    std::vector<int> groupNumbers(std::string_view nameUtf8) const;
    bool usesJit() const;

    // Kept in force so that a pathological pattern ends with an error instead of holding a worker.
    static constexpr std::uint32_t MatchLimit = 10'000'000; // PCRE2's default
    static constexpr std::uint32_t HeapLimitKiB = 64 * 1024; // interpreter backtracking memory
    static constexpr std::size_t JitStackMax = 16 * 1024 * 1024; // reserved, touched only as used
    static constexpr std::size_t KeptPatterns = 8; // per thread

private:
    std::shared_ptr<pcre2_real_code_8> m_code;
    pcre2_real_match_data_8* m_matchData = nullptr;
    pcre2_real_match_context_8* m_matchContext = nullptr; // the thread's, with its JIT stack
    const std::size_t* m_ovector = nullptr;
    std::uint32_t m_captureCount = 0;
};
