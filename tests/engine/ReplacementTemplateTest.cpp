#include "engine/MatchCollector.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace
{

struct Row {
    const char* pattern;
    const char* page;
    const char* replacement;
    const char* expected;
};

// The page holds exactly one match, so the match list text is its rewritten value alone.
QString rewrite(const Row& r)
{
    int count = 0;
    QString text;
    ApplyRegexToHtml(QString::fromUtf8(r.page), QString::fromUtf8(r.pattern), QString::fromUtf8(r.replacement),
        count, text, false);
    EXPECT_EQ(count, 1);
    return text;
}

void check(const Row* begin, const Row* end)
{
    for (const Row* r = begin; r != end; ++r) {
        SCOPED_TRACE(
            std::string("template '") + r->replacement + "' pattern '" + r->pattern + "' page '" + r->page + "'");
        EXPECT_EQ(rewrite(*r), QString::fromUtf8(r->expected));
    }
}

const char* const Twelve = "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)";

} // namespace

TEST(ReplacementTemplate, GroupNumbers)
{
    const std::string twelve = Twelve, elevenSet = std::string("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)?");
    const Row rows[] = {
        { "(a)(b)", "ab", "$2$1", "ba" },
        { "(a)(b)", "ab", "\\2\\1", "ba" },
        { "(a)(b)", "ab", "$0|\\0", "ab|ab" },
        { "(a)(b)", "ab", "$12", "a2" }, // two groups: group 1, then the digit
        { "(a)(b)", "ab", "\\12", "a2" },
        { twelve.c_str(), "abcdefghijkl", "$12", "l" },
        { twelve.c_str(), "abcdefghijkl", "\\12", "l" },
        { twelve.c_str(), "abcdefghijkl", "$10|$13", "j|a3" },
        { elevenSet.c_str(), "abcdefghijk", "$12", "a2" }, // group 12 did not take part
        { "(a)(b)", "ab", "$3", "" }, // no such group
        { "(a)|(b)", "b", "[$1]", "[]" }, // did not take part
        { "(a)(b)", "ab", "${1}${2}", "ab" },
        { "(a)(b)", "ab", "${01}", "a" },
        { "(a)(b)", "ab", "${12}", "" }, // braces take every digit
        { "(a)(b)", "ab", "${1", "${1" },
        { "(a)(b)", "ab", "${1x}", "${1x}" },
        { "(a)(b)", "ab", "${99999999999999999999}", "" },
    };
    check(std::begin(rows), std::end(rows));
}

TEST(ReplacementTemplate, NamedGroups)
{
    const Row rows[] = {
        { "(?<name>a)b", "ab", "${name}", "a" }, { "(?<name>a)b", "ab", "\\g<name>", "a" },
        { "(?<name>a)b", "ab", "[${other}]", "[${other}]" }, // no such name: kept literally
        { "(?<name>a)b", "ab", "[\\g<other>]", "[]" }, // no such name: dropped
        { "(?<name>a)b", "ab", "${name", "${name" }, { "(?<name>a)b", "ab", "\\g<name", "\\g<name" },
        { "(?<name>a)b", "ab", "\\g<>|${}", "\\g<>|${}" },
        { "(?<n>x)?b", "b", "[${n}\\g<n>]", "[]" }, // exists but did not take part
        { "(?<_n2>a)b", "ab", "${_n2}", "a" },
        { "(?J)(?<n>a)|(?<n>b)", "b", "${n}", "b" }, // duplicate names: the one that took part
    };
    check(std::begin(rows), std::end(rows));
}

TEST(ReplacementTemplate, MatchAndValueParts)
{
    // 'A..' matches the whole value case-insensitively; the case-sensitive rewrite then finds only 'b'.
    const Row rows[] = {
        { "(a)b", "ab", "[$&|\\&]", "[ab|ab]" }, { "A..|b", "abc", "[$`|\\`]", "a[a|a]c" },
        { "A..|b", "abc", "[$'|\\']", "a[c|c]c" }, { "A..|b", "abc", "[$_]", "a[abc]c" },
        { "(a)|(b)", "b", "$+\\+", "bb" }, { "(a)(x)?", "a", "$+", "a" },
        { "a", "a", "[$+]", "[a]" }, // no group: the highest that took part is the whole match
    };
    check(std::begin(rows), std::end(rows));
}

TEST(ReplacementTemplate, EscapesAndLiteralText)
{
    const Row rows[] = {
        { "(a)", "a", "$$1", "$1" },
        { "(a)", "a", "\\$1", "$1" },
        { "(a)", "a", "\\\\1", "\\1" },
        { "(a)", "a", "x$", "x$" },
        { "(a)", "a", "x\\", "x\\" },
        { "(a)", "a", "$", "$" },
        { "(a)", "a", "\\n\\t$x\\g\\_$\\1", "\\n\\t$x\\g\\_$a" },
        { "(a)", "a", "\\L\\Ux", "\\L\\Ux" }, // a case letter without a group number
        { "(a)", "a", "\u00e9$1\u20ac\U0001F600", "\u00e9a\u20ac\U0001F600" },
    };
    check(std::begin(rows), std::end(rows));
}

TEST(ReplacementTemplate, CaseConversions)
{
    const Row rows[] = {
        { "(.+)", "HeLLo w\u00d6rld", "\\L1|\\U1|\\F1|\\I1",
            "hello w\u00f6rld|HELLO W\u00d6RLD|Hello w\u00f6rld|Hello W\u00f6rld" },
        { "(.+)", "HeLLo", "\\l1|\\u1|\\f1|\\i1", "hello|HELLO|Hello|Hello" },
        { "(.+)", "o'neil mc-donald 3rd", "\\I1", "O'neil Mc-Donald 3rd" },
        { "(.+)", "'hello ''world o''neil", "\\I1", "'Hello ''World O''neil" },
        { "(.+)", "\u2019tis o\u2019neil", "\\I1", "\u2019Tis O\u2019neil" },
        { "(.+)", "a!b\"c#d$e%f&g(h*i+j,k-l.m<n?o[p{q", "\\I1", "A!B\"C#D$E%F&G(H*I+J,K-L.M<N?O[P{Q" },
        { "(.+)", "a)b/c:d;e=f>g@h]i_j}k~l|m^n`o", "\\I1", "A)b/c:d;e=f>g@h]i_j}k~l|m^n`o" },
        { "(.+)", "a\u00b7b a\tb a\u00a0b", "\\I1", "A\u00b7B A\tB A\u00a0B" },
        { "(.+)", "\u00e9LAN 2ND", "\\I1|\\F1", "\u00c9lan 2nd|\u00c9lan 2nd" },
        { "(.+)", "stra\u00dfe", "\\U1", "STRASSE" },
        { "(.+)", "\U00010428x", "\\U1|\\F1", "\U00010400X|\U00010400x" }, // a letter outside the BMP
        { "(a)(b)", "ab", "\\U12", "A2" },
        { Twelve, "abcdefghijkl", "\\U12", "L" },
        { "(a)|(b)", "b", "[\\U1]", "[]" },
    };
    check(std::begin(rows), std::end(rows));
}
