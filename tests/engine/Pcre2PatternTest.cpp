#include "engine/Pcre2Pattern.h"
#include "engine/MatchDeadline.h"

#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <chrono>
#include <iterator>
#include <string>

TEST(Pcre2Pattern, UsesTheJitWhereItExists)
{
    std::uint32_t jit = 0;
    pcre2_config(PCRE2_CONFIG_JIT, &jit);
    Pcre2Pattern pattern("<a href=\"([^\"]+)\"", Pcre2Pattern::Case::Insensitive);
    EXPECT_EQ(pattern.usesJit(), jit == 1);
    Pcre2Pattern interpreted("(*NO_JIT)a", Pcre2Pattern::Case::Insensitive);
    EXPECT_FALSE(interpreted.usesJit());
}

TEST(Pcre2Pattern, CompileErrorsAndGroups)
{
    EXPECT_THROW(Pcre2Pattern("a(", Pcre2Pattern::Case::Sensitive), PatternError);
    EXPECT_THROW(Pcre2Pattern("a\\C", Pcre2Pattern::Case::Sensitive), PatternError);

    Pcre2Pattern pattern("(?J)(?<n>a)(b)|(?<n>c)", Pcre2Pattern::Case::Sensitive);
    EXPECT_EQ(pattern.captureCount(), 3);
    EXPECT_EQ(pattern.groupNumbers("n"), (std::vector<int> { 1, 3 }));
    EXPECT_TRUE(pattern.groupNumbers("m").empty());
    ASSERT_EQ(pattern.match("xc", 0), 4); // 1 + the highest group set
    EXPECT_EQ(pattern.group(3), (std::pair<std::size_t, std::size_t> { 1, 2 }));
    EXPECT_EQ(pattern.group(1).first, PCRE2_UNSET);
    EXPECT_EQ(pattern.match("xc", 2), PCRE2_ERROR_NOMATCH);
}

namespace
{

// Every match from offset 0 on, as the collector walks them (after an empty match one character on).
std::vector<std::pair<std::size_t, std::size_t>> allMatches(Pcre2Pattern& pattern, std::string_view subject)
{
    std::vector<std::pair<std::size_t, std::size_t>> found;
    std::size_t offset = 0;
    while (offset <= subject.size()) {
        const int rc = pattern.match(subject, offset);
        if (rc < 0) {
            if (rc != PCRE2_ERROR_NOMATCH)
                found.emplace_back(SIZE_MAX, std::size_t(-rc)); // an error shows in the comparison
            break;
        }
        found.push_back(pattern.group(0));
        offset = pattern.group(0).second;
        if (pattern.group(0).first == offset) {
            if (offset == subject.size())
                break;
            for (++offset; offset < subject.size() && (subject[offset] & 0xC0) == 0x80; ++offset) { }
        }
    }
    return found;
}

// Words, addresses, tags and two-byte and three-byte characters, so that slice ends fall
// everywhere, inside characters included; a long run without blanks crosses several slices.
std::string mixedText(std::size_t bytes)
{
    const char* pieces[] = { "word ", "a.b@example.org ", "<b>bold</b> ", "xyyy ", "caf\xc3\xa9 ", "\xe2\x82\xac",
        "zz\r", "aaaa", "x", "<b>", " q " };
    std::string text;
    std::uint32_t state = 12345;
    while (text.size() < bytes) {
        state = state * 1103515245 + 12345;
        text += pieces[(state >> 16) % std::size(pieces)];
    }
    text += std::string(3 * Pcre2Pattern::SliceBytes, 'a') + " end";
    return text;
}

} // namespace

TEST(Pcre2Pattern, GuardFollowsThePattern)
{
    const struct {
        const char* pattern;
        Pcre2Pattern::Guard guard;
    } cases[] = {
        { "<title>(.*?)</title>", Pcre2Pattern::Guard::LeadCallout },
        { "ab\\d+", Pcre2Pattern::Guard::LeadCallout },
        { "ab+c", Pcre2Pattern::Guard::Slices }, // only "a" is fixed
        { "ab|cd", Pcre2Pattern::Guard::Slices },
        { "ab(c|d)", Pcre2Pattern::Guard::LeadCallout },
        { "ab[|(]x", Pcre2Pattern::Guard::LeadCallout },
        { "ab\\Q|\\E", Pcre2Pattern::Guard::Slices },
        { "ab(?x) c | d", Pcre2Pattern::Guard::Slices },
        { "[a-z]+@\\w+", Pcre2Pattern::Guard::Slices },
        { "(?>a*)*c", Pcre2Pattern::Guard::Slices },
        { "(a*)\\1\\1\\1c", Pcre2Pattern::Guard::Callouts },
        { "ab\\G", Pcre2Pattern::Guard::Callouts },
        { "a(*COMMIT)b", Pcre2Pattern::Guard::Callouts },
        { "(*NO_JIT)abc", Pcre2Pattern::Guard::Callouts },
    };
    std::uint32_t jit = 0;
    pcre2_config(PCRE2_CONFIG_JIT, &jit);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        Pcre2Pattern pattern(c.pattern, Pcre2Pattern::Case::Insensitive);
        EXPECT_EQ(pattern.guard(), jit ? c.guard : Pcre2Pattern::Guard::Callouts);
    }
}

TEST(Pcre2Pattern, UnderADeadlineEveryGuardFindsWhatAPlainSearchFinds)
{
    const std::string text = mixedText(200'000);
    const char* patterns[] = {
        "[a-z0-9._%+-]+@[a-z0-9.-]+\\.[a-z]{2,}", // slices, cut inside matches
        "\\w+$", "\\w+\\z", "(?m)\\w+$", // end of subject and of line
        "(?<=x)y+", "y+(?=\\s)", "\\b\\w{3}\\b", "(?<=\\x{20ac})z", // look-arounds across slice ends
        "x*", "(?=q)", "", // empty matches
        "a.*z", "a.*?end", "(?s).{40000}", "a{50000}", // attempts longer than a slice
        "<b>(.*?)</b>", "<b>.*</b>", "caf\xc3\xa9", // led by literal text
        "(\\w)\\1", "(?>a*)*q", "\\G\\w", // guarded throughout
    };
    for (const char* p : patterns) {
        SCOPED_TRACE(p);
        Pcre2Pattern plain(p, Pcre2Pattern::Case::Insensitive);
        MatchDeadline deadline(std::chrono::hours(1));
        Pcre2Pattern guarded(p, Pcre2Pattern::Case::Insensitive, &deadline);
        const auto expected = allMatches(plain, text);
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(allMatches(guarded, text), expected);
    }
}
