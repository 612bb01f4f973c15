#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;
struct pcre2_real_match_context_8;
struct pcre2_real_jit_stack_8;
class MatchDeadline;
struct Pcre2ThreadState;

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
//
// With a deadline, no match() call runs on long once it has passed, whatever the pattern and
// subject: PCRE2's match, heap and JIT-stack limits bound backtracking, not time, and a pattern like
// (?>a*)*c spends its time scanning the same text again from every start position. So:
// - at most SliceBytes of subject are matched as they are, between two looks at the deadline;
// - a pattern led by literal text (<title>(.*?)</title>) gets a callout right after that text on
//   longer subjects, so the deadline is looked at once per start position that gets past it;
// - any other pattern is matched on slices of SliceBytes in hard partial mode, so no single engine
//   call scans far; a start whose attempt runs past its slice gets a longer one, up to
//   LongestSlice, and past that is tried alone in the guarded form;
// - patterns with back-references, \G or (*COMMIT), and patterns the JIT cannot take, use the
//   guarded form throughout: compiled with a callout before every item, each looking at the deadline.
// Within one engine call of the fast forms the match limit still bounds only the number of
// backtracking steps, not their length. The fast forms cost a few percent at most (partial mode,
// one callout per match); the guarded one is 2 to 6 times slower.
class Pcre2Pattern
{
public:
    enum class Case { Insensitive, Sensitive };

    // Throws PatternError when the pattern does not compile. Uses the JIT when it compiles there,
    // PCRE2's interpreter otherwise. deadline, when given, must outlive the pattern.
    Pcre2Pattern(std::string_view patternUtf8, Case caseMode, MatchDeadline* deadline = nullptr);
    ~Pcre2Pattern();
    Pcre2Pattern(const Pcre2Pattern&) = delete;
    Pcre2Pattern& operator=(const Pcre2Pattern&) = delete;

    // Searches subject from offset (a character boundary) without checking its UTF-8: the caller
    // guarantees it is valid. Returns 1 + the highest group that took part, PCRE2_ERROR_NOMATCH,
    // Stopped once the deadline has passed, or another negative PCRE2 error (a match, depth, heap or
    // JIT stack limit, ...).
    int match(std::string_view subject, std::size_t offset, bool notEmpty = false);

    // Start and end of group n of the last match; PCRE2_UNSET (both) when it did not take part.
    std::pair<std::size_t, std::size_t> group(int n) const;
    int captureCount() const { return int(m_captureCount); }
    // Numbers of the groups called name, in order (several with (?J)); empty when there is none.
    std::vector<int> groupNumbers(std::string_view nameUtf8) const;
    bool usesJit() const;

    // How match() goes about it under a deadline (see above); for tests.
    enum class Guard { LeadCallout, Slices, Callouts };
    Guard guard() const { return m_guard; }

    // match()'s result once the deadline has passed (PCRE2_ERROR_CALLOUT, which PCRE2 never returns itself).
    static constexpr int Stopped = -37;

    // Kept in force so that a pathological pattern ends with an error instead of holding a worker.
    static constexpr std::uint32_t MatchLimit = 10'000'000; // PCRE2's default
    static constexpr std::uint32_t HeapLimitKiB = 64 * 1024; // interpreter backtracking memory
    static constexpr std::size_t JitStackMax = 16 * 1024 * 1024; // reserved, touched only as used
    static constexpr std::size_t KeptPatterns = 8; // per thread
    // Longest stretch of subject one engine call sees under a deadline: start positions times the
    // text each may scan stays small enough (a fraction of a second) for the deadline to be kept.
    static constexpr std::size_t SliceBytes = 32 * 1024;
    // How far a slice grows for one start whose attempt needs more; past it that start is tried
    // alone in the guarded form.
    static constexpr std::size_t LongestSlice = 128 * 1024;

private:
    int run(const pcre2_real_code_8* code, std::string_view subject, std::size_t length, std::size_t offset,
        std::uint32_t options, std::size_t offsetLimit);
    int matchSliced(std::string_view subject, std::size_t offset, std::uint32_t options);
    // False when no match can start at or after from: too little subject left, or no code unit that
    // every match holds. The engine checks that itself, but only so far ahead and not past a slice,
    // and without it a page that cannot match at all would be searched until the deadline.
    bool mayMatchFrom(std::string_view subject, std::size_t from);
    int matchGuarded(std::string_view subject, std::size_t offset, std::uint32_t options, std::size_t onlyStart);

    std::string m_pattern; // for compiling the guarded form when first needed
    Case m_case;
    MatchDeadline* m_deadline;
    Guard m_guard = Guard::Slices;
    std::shared_ptr<pcre2_real_code_8> m_code; // as written
    std::shared_ptr<pcre2_real_code_8> m_leadCode; // with the callout after the leading text
    std::shared_ptr<pcre2_real_code_8> m_guardedCode; // with a callout before every item
    pcre2_real_match_data_8* m_matchData = nullptr;
    Pcre2ThreadState* m_state; // the thread's
    pcre2_real_match_context_8* m_matchContext = nullptr; // the thread's, with its JIT stack
    const std::size_t* m_ovector = nullptr;
    std::uint32_t m_captureCount = 0;
    std::size_t m_minLength = 0;
    // The current slice of matchSliced: its subject and its end.
    const char* m_sliceSubject = nullptr;
    std::size_t m_sliceSubjectSize = 0;
    std::size_t m_sliceEnd = 0;
    int m_required = -1; // an ASCII code unit in every match, -1 when none is known
    // Where m_required was last found: in this subject, the first at or after m_requiredFrom.
    const char* m_requiredSubject = nullptr;
    std::size_t m_requiredSubjectSize = 0;
    std::size_t m_requiredFrom = 0;
    std::size_t m_requiredAt = 0;
};
