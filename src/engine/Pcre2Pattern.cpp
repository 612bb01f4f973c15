#include "engine/Pcre2Pattern.h"

#include "engine/MatchDeadline.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

static_assert(Pcre2Pattern::Stopped == PCRE2_ERROR_CALLOUT);

namespace
{

// The three compiled forms of one pattern (see the class comment).
enum class Form { AsWritten, LeadCallout, Guarded };

std::string errorText(int code)
{
    PCRE2_UCHAR buffer[256];
    const int n = pcre2_get_error_message(code, buffer, sizeof buffer);
    return n < 0 ? "PCRE2 error " + std::to_string(code)
                 : std::string(reinterpret_cast<char*>(buffer), std::size_t(n));
}

std::size_t nextCharacter(std::string_view text, std::size_t at)
{
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        ++at;
    return at;
}

bool isMeta(char c)
{
    return c != 0 && std::strchr("\\^$.|?*+()[]{}", c) != nullptr;
}

// True unless every top-level part of the pattern is one sequence: no "|" outside groups and
// classes. Unsure (quoting, comments, extended mode, unbalanced) counts as true.
bool mayHaveTopLevelAlternative(std::string_view p)
{
    int depth = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '\\') {
            if (i + 1 < p.size() && p[i + 1] == 'Q')
                return true;
            ++i;
        } else if (c == '[') {
            ++i;
            if (i < p.size() && p[i] == '^')
                ++i;
            if (i < p.size() && p[i] == ']')
                ++i;
            for (; i < p.size() && p[i] != ']'; ++i) {
                if (p[i] == '\\') {
                    ++i;
                } else if (p[i] == '[' && i + 1 < p.size() && p[i + 1] == ':') {
                    const std::size_t close = p.find(":]", i + 2);
                    if (close == std::string_view::npos)
                        return true;
                    i = close + 1;
                }
            }
            if (i >= p.size())
                return true;
        } else if (c == '(') {
            if (p.substr(i, 3) == "(?#")
                return true;
            if (p.substr(i, 2) == "(?") {
                // Option letters: extended mode would make "#" start a comment.
                for (std::size_t j = i + 2;
                     j < p.size() && std::strchr("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ^-", p[j]);
                     ++j) {
                    if (p[j] == 'x')
                        return true;
                }
            }
            ++depth;
        } else if (c == ')') {
            if (--depth < 0)
                return true;
        } else if (c == '|' && depth == 0) {
            return true;
        }
    }
    return depth != 0;
}

// Where the literal text that every match begins with ends (two characters at least), or 0.
// A callout placed there is reached only by start positions that get past that text.
std::size_t leadingTextEnd(std::string_view p)
{
    std::size_t end = 0, lastStart = 0, characters = 0;
    while (end < p.size() && !isMeta(p[end])) {
        lastStart = end;
        end = nextCharacter(p, end);
        ++characters;
    }
    if (end < p.size() && std::strchr("?*+{", p[end])) {
        end = lastStart; // the last character is repeated, not part of the fixed text
        --characters;
    }
    return characters >= 2 && !mayHaveTopLevelAlternative(p) ? end : 0;
}

std::shared_ptr<pcre2_code> compile(std::string_view patternUtf8, Pcre2Pattern::Case caseMode, Form form)
{
    pcre2_compile_context* compileContext = pcre2_compile_context_create(nullptr);
    if (!compileContext)
        throw std::bad_alloc();
    pcre2_set_newline(compileContext, PCRE2_NEWLINE_ANY);
    std::uint32_t options = PCRE2_UTF | PCRE2_NEVER_BACKSLASH_C;
    if (caseMode == Pcre2Pattern::Case::Insensitive)
        options |= PCRE2_CASELESS;
    std::string text(patternUtf8);
    if (form == Form::LeadCallout)
        text.insert(leadingTextEnd(patternUtf8), "(?C)");
    if (form == Form::Guarded)
        options |= PCRE2_AUTO_CALLOUT | PCRE2_USE_OFFSET_LIMIT;
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(
        reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), options, &error, &errorOffset, compileContext);
    pcre2_compile_context_free(compileContext);
    if (!code) {
        // PCRE2 counts bytes; a user counts characters.
        const auto characters = std::count_if(patternUtf8.begin(),
            patternUtf8.begin() + std::ptrdiff_t(std::min(errorOffset, patternUtf8.size())),
            [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
        throw PatternError(errorText(error) + " at offset " + std::to_string(characters));
    }
    std::shared_ptr<pcre2_code> owned(code, pcre2_code_free);
    // Fails for lack of JIT support or executable memory; pcre2_match then interprets. The pattern
    // as written is also made ready for the partial matching of slices.
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE | (form == Form::AsWritten ? PCRE2_JIT_PARTIAL_HARD : 0));
    return owned;
}

bool jitCompiled(const pcre2_code* code)
{
    std::size_t size = 0;
    return pcre2_pattern_info(code, PCRE2_INFO_JITSIZE, &size) == 0 && size > 0;
}

// What a Pcre2Pattern needs to know of a pattern as written, worked out once per compiled pattern.
struct PatternFacts {
    Pcre2Pattern::Guard guard = Pcre2Pattern::Guard::Slices;
    std::uint32_t captureCount = 0;
    std::size_t minLength = 0; // characters, so at least as many bytes
    int required = -1; // an ASCII code unit every match holds (other cases of others are other bytes)
};

PatternFacts factsOf(const pcre2_code* code, std::string_view patternUtf8)
{
    PatternFacts facts;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &facts.captureCount);
    std::uint32_t lastType = 0, lastUnit = 0;
    if (pcre2_pattern_info(code, PCRE2_INFO_LASTCODETYPE, &lastType) == 0 && lastType == 1
        && pcre2_pattern_info(code, PCRE2_INFO_LASTCODEUNIT, &lastUnit) == 0 && lastUnit < 0x80)
        facts.required = int(lastUnit);
    std::uint32_t minLength = 0;
    pcre2_pattern_info(code, PCRE2_INFO_MINLENGTH, &minLength);
    facts.minLength = minLength;
    std::uint32_t backReferences = 0;
    pcre2_pattern_info(code, PCRE2_INFO_BACKREFMAX, &backReferences);
    // \G and (*COMMIT) tie a search to its start offset, which the slices move.
    const bool startBound = patternUtf8.find("\\G") != std::string_view::npos
        || patternUtf8.find("(*COMMIT") != std::string_view::npos;
    if (!jitCompiled(code) || backReferences > 0 || startBound)
        facts.guard = Pcre2Pattern::Guard::Callouts;
    else if (leadingTextEnd(patternUtf8) > 0)
        facts.guard = Pcre2Pattern::Guard::LeadCallout;
    return facts;
}

int deadlineCallout(pcre2_callout_block*, void* deadline)
{
    return static_cast<MatchDeadline*>(deadline)->passed() ? PCRE2_ERROR_CALLOUT : 0;
}

} // namespace

// What a thread keeps between calls: its recent patterns (most recent first), and one match context
// with its JIT stack, shared by the patterns of a call since they never match at the same time.
struct Pcre2ThreadState {
    struct Entry {
        std::string pattern;
        Pcre2Pattern::Case caseMode;
        Form form;
        std::shared_ptr<pcre2_code> code;
        PatternFacts facts; // of the form as written
    };
    std::vector<Entry> recent;
    pcre2_match_context* matchContext = nullptr;
    pcre2_jit_stack* jitStack = nullptr;

    // What the context is set to now: patterns set only what differs, as each call goes through
    // the library's setters otherwise.
    MatchDeadline* calloutDeadline = nullptr;
    std::size_t offsetLimit = PCRE2_UNSET;

    ~Pcre2ThreadState()
    {
        pcre2_match_context_free(matchContext);
        pcre2_jit_stack_free(jitStack);
    }

    const Entry& entry(std::string_view pattern, Pcre2Pattern::Case caseMode, Form form)
    {
        for (std::size_t i = 0; i < recent.size(); ++i) {
            if (recent[i].caseMode == caseMode && recent[i].form == form && recent[i].pattern == pattern) {
                std::rotate(
                    recent.begin(), recent.begin() + std::ptrdiff_t(i), recent.begin() + std::ptrdiff_t(i) + 1);
                return recent.front();
            }
        }
        std::shared_ptr<pcre2_code> fresh = compile(pattern, caseMode, form);
        const PatternFacts facts = form == Form::AsWritten ? factsOf(fresh.get(), pattern) : PatternFacts();
        if (recent.size() == Pcre2Pattern::KeptPatterns)
            recent.pop_back(); // a pattern still in use lives on through its shared pointer
        recent.insert(recent.begin(), Entry { std::string(pattern), caseMode, form, fresh, facts });
        return recent.front(); // valid until the next call
    }

    std::shared_ptr<pcre2_code> code(std::string_view pattern, Pcre2Pattern::Case caseMode, Form form)
    {
        return entry(pattern, caseMode, form).code;
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

namespace
{

thread_local Pcre2ThreadState t_state;

} // namespace

Pcre2Pattern::Pcre2Pattern(std::string_view patternUtf8, Case caseMode, MatchDeadline* deadline) :
    m_pattern(patternUtf8),
    m_case(caseMode),
    m_deadline(deadline),
    m_state(&t_state),
    m_matchContext(t_state.context())
{
    const Pcre2ThreadState::Entry& entry = t_state.entry(patternUtf8, caseMode, Form::AsWritten);
    m_code = entry.code;
    m_guard = entry.facts.guard;
    m_captureCount = entry.facts.captureCount;
    m_minLength = entry.facts.minLength;
    m_required = entry.facts.required;
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
    return jitCompiled(m_code.get());
}

int Pcre2Pattern::run(const pcre2_code* code, std::string_view subject, std::size_t length, std::size_t offset,
    std::uint32_t options, std::size_t offsetLimit)
{
    // The context is the thread's, shared with other patterns: set what this call needs.
    if (m_state->calloutDeadline != m_deadline) {
        pcre2_set_callout(m_matchContext, m_deadline ? deadlineCallout : nullptr, m_deadline);
        m_state->calloutDeadline = m_deadline;
    }
    if (m_state->offsetLimit != offsetLimit) {
        pcre2_set_offset_limit(m_matchContext, offsetLimit);
        m_state->offsetLimit = offsetLimit;
    }
    const int rc = pcre2_match(
        code, reinterpret_cast<PCRE2_SPTR>(subject.data()), length, offset, options, m_matchData, m_matchContext);
    // 0 would mean too small an ovector, which cannot happen with match data made from the pattern.
    return rc == 0 ? PCRE2_ERROR_NOMEMORY : rc;
}

int Pcre2Pattern::match(std::string_view subject, std::size_t offset, bool notEmpty)
{
    const std::uint32_t options = PCRE2_NO_UTF_CHECK | (notEmpty ? PCRE2_NOTEMPTY : 0);
    if (!m_deadline)
        return run(m_code.get(), subject, subject.size(), offset, options, PCRE2_UNSET);
    // Every match passes the callout, which looks at the deadline: a call that does not reach it
    // finds nothing and has only scanned for the leading text. What is left of a short subject is
    // bounded like a slice, without the callout's cost (the rewriting searches inside one value).
    if (m_guard == Guard::LeadCallout && subject.size() - std::min(offset, subject.size()) > SliceBytes) {
        if (!m_leadCode)
            m_leadCode = t_state.code(m_pattern, m_case, Form::LeadCallout);
        return run(m_leadCode.get(), subject, subject.size(), offset, options, PCRE2_UNSET);
    }
    if (m_deadline->passed())
        return Stopped;
    if (m_guard == Guard::LeadCallout)
        return run(m_code.get(), subject, subject.size(), offset, options, PCRE2_UNSET);
    if (m_guard == Guard::Slices)
        return matchSliced(subject, offset, options);
    if (!mayMatchFrom(subject, offset))
        return PCRE2_ERROR_NOMATCH;
    return matchGuarded(subject, offset, options, PCRE2_UNSET);
}

int Pcre2Pattern::matchSliced(std::string_view subject, std::size_t offset, std::uint32_t options)
{
    const std::size_t n = subject.size();
    std::size_t from = offset;
    std::size_t reach = SliceBytes;
    for (;;) {
        if (n - from <= reach)
            return run(m_code.get(), subject, n, from, options, PCRE2_UNSET);
        // The slice's end is kept while at least half a slice lies ahead: finding a character
        // boundary there reads the subject far ahead, a cache miss that per call costs more than
        // matching a short distance.
        std::size_t end = m_sliceEnd;
        if (subject.data() != m_sliceSubject || subject.size() != m_sliceSubjectSize || end <= from
            || end - from > reach || end - from < reach / 2) {
            end = from + reach;
            while ((static_cast<unsigned char>(subject[end]) & 0xC0) == 0x80)
                --end;
            m_sliceSubject = subject.data();
            m_sliceSubjectSize = subject.size();
            m_sliceEnd = end;
        }
        // In hard partial mode an attempt that reaches the end of the slice reports that at once,
        // so any other outcome is the one the whole subject would give.
        const int rc = run(m_code.get(), subject, end, from, options | PCRE2_PARTIAL_HARD, PCRE2_UNSET);
        if (rc == PCRE2_ERROR_PARTIAL) {
            // No start before this one matches; this one needs more text. A longer slice from it keeps
            // the engine's own skipping of start positions (runs of one character class) in one call.
            const std::size_t start = pcre2_get_startchar(m_matchData);
            if (start > from) {
                reach = std::max(SliceBytes, std::min(LongestSlice, 2 * (end - start)));
                from = start;
            } else if (!mayMatchFrom(subject, start)) {
                return PCRE2_ERROR_NOMATCH; // before spending more on this start
            } else if (reach < LongestSlice) {
                reach = std::min(LongestSlice, 2 * reach);
            } else {
                const int alone = matchGuarded(subject, start, options, start);
                if (alone != PCRE2_ERROR_NOMATCH || start >= n)
                    return alone;
                from = nextCharacter(subject, start);
                reach = SliceBytes;
            }
        } else if (rc == PCRE2_ERROR_NOMATCH || (rc > 0 && pcre2_get_startchar(m_matchData) >= end)) {
            from = end; // at the slice's end itself an attempt saw no text: try it again with the next slice
            reach = SliceBytes;
        } else {
            return rc;
        }
        if (m_deadline->passed())
            return Stopped;
    }
}

bool Pcre2Pattern::mayMatchFrom(std::string_view subject, std::size_t from)
{
    if (subject.size() - from < m_minLength)
        return false;
    if (m_required < 0)
        return true;
    if (subject.data() != m_requiredSubject || subject.size() != m_requiredSubjectSize || from < m_requiredFrom
        || from > m_requiredAt) {
        const char unit = char(m_required);
        const bool letter = (unit >= 'a' && unit <= 'z') || (unit >= 'A' && unit <= 'Z');
        std::size_t at = subject.find(unit, from);
        if (letter) // either case: a caseless pattern or a caseless part of one may hold either
            at = std::min(at, subject.substr(0, std::min(at, subject.size())).find(char(unit ^ 0x20), from));
        m_requiredSubject = subject.data();
        m_requiredSubjectSize = subject.size();
        m_requiredFrom = from;
        m_requiredAt = std::min(at, subject.size());
    }
    return m_requiredAt < subject.size();
}

int Pcre2Pattern::matchGuarded(
    std::string_view subject, std::size_t offset, std::uint32_t options, std::size_t onlyStart)
{
    if (!m_guardedCode)
        m_guardedCode = t_state.code(m_pattern, m_case, Form::Guarded);
    return run(m_guardedCode.get(), subject, subject.size(), offset, options, onlyStart);
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
