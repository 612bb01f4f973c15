#include "engine/MatchCollector.h"
#include "support/QtPrinters.h"
#include "text/FileUtil.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <QLocale>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace
{

struct Collected {
    int count = -1;
    QString text;
    bool operator==(const Collected&) const = default;
};

void PrintTo(const Collected& c, std::ostream* os)
{
    *os << c.count << " ";
    ::PrintTo(c.text, os);
}

// Runs the three entry points and insists that they agree.
Collected collect(
    const QString& page, const QString& pattern, const QString& replacement = {}, bool unique = false)
{
    Collected fromText, fromUtf8, fromUnchecked;
    ApplyRegexToHtml(page, pattern, replacement, fromText.count, fromText.text, unique);
    const QByteArray utf8 = page.toUtf8();
    const std::string_view bytes(utf8.constData(), std::size_t(utf8.size()));
    ApplyRegexToHtmlUtf8(bytes, pattern, replacement, fromUtf8.count, fromUtf8.text, unique);
    EXPECT_EQ(fromText, fromUtf8) << "the QString and UTF-8 entry points differ";
    ApplyRegexToUncheckedUtf8(
        bytes, pattern, replacement, fromUnchecked.count, fromUnchecked.text, nullptr, unique);
    EXPECT_EQ(fromText, fromUnchecked) << "the QString and unchecked UTF-8 entry points differ";
    return fromText;
}

struct Case {
    const char* name;
    QString page, pattern, replacement;
    bool unique;
    int count;
    QString text;
};

} // namespace

TEST(MatchCollector, CollectsAsTheRowShowsIt)
{
    const Case cases[] = {
        { "groups by template", "  <b>x</b>\n<b>y</b>  ", "<b>(.*?)</b>", "$1", false, 2, "x||y||" },
        { "whole matches without template", "  <b>x</b>\n<b>y</b>  ", "<b>(.*?)</b>", "", false, 2,
            "<b>x</b>||<b>y</b>||" },
        { "one value has no separator", "id=42", "\\d+", "", false, 1, "42" },
        { "collecting ignores case", "ABC and abc", "abc", "", false, 2, "ABC||abc||" },
        { "unique keeps the form found first", "ABC and abc", "abc", "", true, 1, "ABC" },
        { "unique sorts", "b a B", "[ab]", "", true, 2, "a||b||" },
        { "unique compares rewritten values", "<b>Y</b><b>x</b><b>y</b>", "<b>(.)</b>", "$1", true, 2, "x||Y||" },
        { "rewriting is case-sensitive", "ABC", "abc", "x", false, 1, "ABC" },
        { "rewriting same case", "abc", "abc", "x", false, 1, "x" },
        { "every match rewritten", "banana", "a", "[$0]", false, 3, "[a]||[a]||[a]||" },
        { "empty rewrite still counts", "a ab", "a(b?)", "$1", false, 2, "||b||" },
        { "look-arounds of the rewrite see only the value", "xa", "(?<=x)a", "Z", false, 1, "a" },
        { "lookahead of the rewrite sees only the value", "ab", "a(?=b)", "Z", false, 1, "a" },
        { "only empty matches", "abc", "z*", "", false, 0, "" },
        { "empty matches skipped between others", "axxbx", "x*", "", false, 2, "xx||x||" },
        { "after an empty match one character further", "ab", "(?=b)|b", "", false, 0, "" },
        { "the step over an empty match is a whole character", "\u00e9x\u20acx", "x*", "", false, 2, "x||x||" },
        { "bad pattern", "abc", "(", "", false, 0, "" },
        { "bad quantifier", "abc", "a{2,1}", "", false, 0, "" },
        { "empty pattern", "abc", "", "", false, 0, "" },
        { "empty page", "", "a*", "", false, 0, "" },
        { "page of blanks and line ends", " \r\n\t ", "\\s", "", false, 0, "" },
        { "line feeds deleted", "a1\nb2", "a1b2", "", false, 1, "a1b2" },
        { "lines joined are one line", "a\nb", "^b", "", false, 0, "" },
        { "CR LF lines joined by CR", "a1\r\nb2\r\nc3\r\n", ".+", "", false, 3, "a1||b2||c3||" },
        { "CR kept inside the text", "a\r\nb", "a\\rb", "", false, 1, "a\rb" },
        { "CR still ends a line", "a\r\nb", "(?m)^b", "", false, 1, "b" },
        { "any Unicode newline ends a line", "a\u2028b\u0085c", ".+", "", false, 3, "a||b||c||" },
        { "trimmed at both ends, tabs inside kept", "\t\x01 a\tb \r\n", ".+", "", false, 1, "a\tb" },
        { "case-insensitive beyond ASCII", "\u00e4rger", "\u00c4RGER", "", false, 1, "\u00e4rger" },
        { "\\C is refused", "abc", "a\\C", "", false, 0, "" },
        { "several matches rewritten in place", "a-a-a", "A.*A|a", "[$`|$']", false, 1,
            "[|-a-a]-[[|-a-a]-|-a]-[[|-a-a]-[[|-a-a]-|-a]-|]" },
        { "the whole value includes earlier replacements", "a-a-a", "A.*A|a", "($_)", false, 1,
            "(a-a-a)-((a-a-a)-a-a)-((a-a-a)-((a-a-a)-a-a)-a)" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(collect(c.page, c.pattern, c.replacement, c.unique), (Collected { c.count, c.text }));
        // The interpreter, used where the JIT is not available, gives the same.
        if (!c.pattern.isEmpty()) {
            EXPECT_EQ(collect(c.page, "(*NO_JIT)" + c.pattern, c.replacement, c.unique),
                (Collected { c.count, c.text }));
        }
    }
}

TEST(MatchCollector, EngineErrorKeepsWhatWasCollected)
{
    // The nested quantifier backtracks beyond the match limit on the run of a's.
    const QString page = "b b b " + QString(30, u'a');
    for (const QString& prefix : { QString(), QStringLiteral("(*NO_JIT)") }) {
        SCOPED_TRACE(prefix.toStdString());
        EXPECT_EQ(collect(page, prefix + "(*LIMIT_MATCH=100000)b|(a+)+c"), (Collected { 3, "b||b||b||" }));
        // Without the lowered limit the default one still ends the match.
        EXPECT_EQ(collect(page, prefix + "b|(a+)+c"), (Collected { 3, "b||b||b||" }));
    }
}

TEST(MatchCollector, PageTextIsAlwaysValidUtf8)
{
    // Invalid bytes decode to U+FFFD; an unpaired surrogate, which UTF-8 cannot carry, becomes '?'.
    const QString fromBadBytes = QString::fromUtf8("a\xff\xfe"
                                                   "b\xc3");
    EXPECT_EQ(collect(fromBadBytes, ".+"), (Collected { 1, "a\ufffd\ufffdb\ufffd" }));
    Collected unchecked;
    ApplyRegexToUncheckedUtf8("a\xff\xfe"
                              "b\xc3",
        ".+", "", unchecked.count, unchecked.text, nullptr, false);
    EXPECT_EQ(unchecked, (Collected { 1, "a\ufffd\ufffdb\ufffd" }));
    const QString surrogates = QStringLiteral("x") + QChar(0xD800) + "y" + QChar(0xDC00) + "z" + QChar(0xD83D);
    EXPECT_EQ(collect(surrogates, ".+"), (Collected { 1, "x?y?z?" }));
    const QString pair = QStringLiteral("a\U0001F600b");
    EXPECT_EQ(collect(pair, "."), (Collected { 3, "a||\U0001F600||b||" }));
}

TEST(MatchCollector, UniqueOrderFollowsTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const Collected german = collect("Zebra \u00e4pfel apfel Apfel", "\\S+", "", true);
    QLocale::setDefault(QLocale::c());
    const Collected c = collect("Zebra \u00e4pfel apfel Apfel", "\\S+", "", true);
    QLocale::setDefault(saved);
    EXPECT_EQ(german, (Collected { 3, "apfel||\u00e4pfel||Zebra||" }));
    EXPECT_EQ(c, (Collected { 3, "apfel||Zebra||\u00e4pfel||" }));
}

TEST(MatchCollector, LargePage)
{
    // About 50 MB of markup with line feeds, two addresses per block.
    const std::string block = "<tr><td>Anna Keller</td><td><a href=\"mailto:a.keller@example.com\">mail</a></td>\n"
                              "<td>press: PRESS@News.Example.io</td></tr>\r\n<p>"
        + std::string(400, 'x') + "</p>\n";
    const int blocks = 50'000'000 / int(block.size()) + 1;
    std::string page;
    page.reserve(block.size() * std::size_t(blocks));
    for (int i = 0; i < blocks; ++i)
        page += block;
    const QString pattern = "[a-z0-9._%+-]+@[a-z0-9.-]+\\.[a-z]{2,}";

    int count = 0;
    QString text;
    ApplyRegexToHtmlUtf8(page, pattern, "", count, text, false);
    EXPECT_EQ(count, 2 * blocks);
    EXPECT_TRUE(text.startsWith("a.keller@example.com||PRESS@News.Example.io||a.keller@"));
    EXPECT_EQ(
        text.size(), qsizetype(blocks) * qsizetype(sizeof("a.keller@example.com||PRESS@News.Example.io||") - 1));

    int fromTextCount = 0;
    QString fromText;
    ApplyRegexToHtml(QString::fromStdString(page), pattern, "", fromTextCount, fromText, false);
    EXPECT_EQ(fromTextCount, count);
    EXPECT_EQ(fromText, text);

    // The rewrite is case-sensitive, so the upper-case address stays as found.
    ApplyRegexToHtmlUtf8(page, pattern, "<$0>", count, text, true);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(text, "<a.keller@example.com>||PRESS@News.Example.io||");
}

TEST(MatchCollector, ManyPatternsInTurn)
{
    // More patterns than a thread keeps compiled, each in both case modes, twice over.
    for (int round = 0; round < 2; ++round) {
        for (int k = 1; k <= 12; ++k) {
            const QString pattern = QString("a{%1}").arg(k);
            EXPECT_EQ(collect(QString(k, u'A') + " " + QString(k, u'a'), pattern, "x"),
                (Collected { 2, QString(k, u'A') + "||x||" }));
        }
    }
}

TEST(MatchCollector, ConcurrentCallsAgree)
{
    const QString page = QString("<a href=\"/x\">X</a> <a href=\"/Y\">y</a> caf\u00e9 CAF\u00c9 \n").repeated(200);
    const Collected plain = collect(page, "<a href=\"([^\"]+)\"", "\\U1");
    const Collected unique = collect(page, "caf\u00e9|(?<h>/\\w)", "${h}\\I0", true);
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                Collected a, b;
                ApplyRegexToHtml(page, "<a href=\"([^\"]+)\"", "\\U1", a.count, a.text, false);
                ApplyRegexToHtml(page, "caf\u00e9|(?<h>/\\w)", "${h}\\I0", b.count, b.text, true);
                failures[std::size_t(t)] += !(a == plain) + !(b == unique);
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(plain.count, 400);
    EXPECT_EQ(unique, (Collected { 4, "/a/a||/x/x||/Y/y||Caf\u00e9||" }));
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(MatchCollector, ValuesComeBackExactlyAlsoWhereTheTextIsAmbiguous)
{
    // The values are exactValues when given, else the text split at "||". They are given only
    // where the split would go wrong, so ordinary rows carry nothing more than their text.
    struct ValuesCase {
        const char* name;
        QString page, pattern, replacement;
        bool unique;
        QStringList values;
        bool given;
    };
    const ValuesCase cases[] = {
        { "plain values split back", "a1 b2", "[a-z]\\d", "", false, { "a1", "b2" }, false },
        { "one plain value", "a1", "[a-z]\\d", "", false, { "a1" }, false },
        { "a value holding the separator", "x||y z", "\\S+", "", false, { "x||y", "z" }, true },
        { "the only value holding the separator", "x||y", "\\S+", "", false, { "x||y" }, true },
        { "a value ending in a bar", "a| b", "\\S+", "", false, { "a|", "b" }, true },
        { "one empty value", "a", "a(b?)", "$1", false, { "" }, true },
        { "two empty values split back", "a a", "a(b?)", "$1", false, { "", "" }, false },
        { "CR and LF inside values", "a\r\nb", "a\\rb", "x\ny\r", false, { "x\ny\r" }, false },
        { "non-BMP characters", "\U0001F600 \u00e9\U00010348", "\\S+", "", false,
            { "\U0001F600", "\u00e9\U00010348" }, false },
        { "unique with the separator", "b|| a B||", "\\S+", "", true, { "a", "b||" }, true },
        { "unique down to one empty value", "a a", "a(b?)", "$1", true, { "" }, true },
        { "nothing found", "abc", "z+", "", false, {}, false },
        { "bad pattern", "a||b", "(", "", false, {}, false },
    };
    for (const ValuesCase& c : cases) {
        SCOPED_TRACE(c.name);
        int count = -1;
        QString text;
        QStringList exact = { "left from before" };
        const QByteArray utf8 = c.page.toUtf8();
        ApplyRegexToHtmlUtf8(std::string_view(utf8.constData(), std::size_t(utf8.size())), c.pattern,
            c.replacement, count, text, exact, c.unique);
        EXPECT_EQ(count, c.values.size());
        EXPECT_EQ(exact.isEmpty(), !c.given) << exact.join(u',').toStdString();
        const QStringList values = !exact.isEmpty() ? exact
            : text.isEmpty()                        ? QStringList()
                                                    : splitFields(text, FieldSeparator);
        EXPECT_EQ(values, c.values);
        // The text stays what the other entry points give.
        Collected plain;
        ApplyRegexToHtml(c.page, c.pattern, c.replacement, plain.count, plain.text, c.unique);
        EXPECT_EQ(plain, (Collected { count, text }));
    }
}

TEST(MatchCollector, CompileErrorInWords)
{
    const struct {
        QString pattern;
        QString error; // empty: compiles
    } cases[] = {
        { "<b>(.*?)</b>", "" },
        { "(", "missing closing parenthesis at offset 1" },
        { "a{2,1}", "numbers out of order in {} quantifier at offset 5" },
        // The offset counts characters, not the bytes of "é€".
        { "é€[", "missing terminating ] for character class at offset 3" },
        { "a\\C", "using \\C is disabled by the application at offset 3" },
        { "", "the pattern is empty" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern.toStdString());
        EXPECT_EQ(patternCompileError(c.pattern), c.error);
        // A pattern reported here gives the collector nothing on a page it would otherwise match.
        if (!c.error.isEmpty()) {
            EXPECT_EQ(collect("( a{2,1} é€[", c.pattern), (Collected { 0, "" }));
        }
    }
}

namespace
{

struct Stopped {
    Collected collected;
    QString outcome;
};

Stopped collectWithin(const std::string& page, const QString& pattern, const QString& replacement, bool unique,
    const CollectorLimits& limits)
{
    Stopped s;
    ApplyRegexToHtmlUtf8(
        page, pattern, replacement, s.collected.count, s.collected.text, unique, &s.outcome, limits);
    return s;
}

} // namespace

TEST(MatchCollector, PatternsThatNeverEndStopAtTheTimeBoundKeepingEarlierMatches)
{
    // Without a bound each backtracks or rescans the run of a's for minutes: the "c" at the end makes
    // the engine try, where a page without one would be refused by the engine (and by us) at once.
    const std::string page = "c c " + std::string(1'000'000, 'a') + "b c";
    CollectorLimits limits;
    limits.cpuTime = std::chrono::milliseconds(200);
    const struct {
        const char* pattern;
        std::string page;
        QString kept;
    } cases[] = {
        { "(a*)\\1\\1\\1c", page, "c||c||" }, // back-references
        { "(?>a*)*c", page, "c||c||" }, // every start rescans the run
        { "(*NO_JIT)(?>a*)*c", page, "c||c||" }, // the interpreter
        { "(?>a*)*c|q\\d", page, "c||c||" }, // no code unit that every match holds
        { "[ac]?(?>a*)*c", page, "c||c||" }, // starts at every a
        // Led by literal text, which is found at every other character.
        { "ab(?>[ab]*)*c", "abc abc " + QByteArray("ab").repeated(500'000).toStdString() + " c", "abc||abc||" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        const Stopped s = collectWithin(c.page, c.pattern, "", false, limits);
        EXPECT_EQ(s.outcome, "pattern stopped after 0.2 s");
        EXPECT_EQ(s.collected, (Collected { 2, c.kept }));
    }
    // The rewriting search has the same bound. The case-insensitive search takes the whole run at
    // once; inside it, the case-sensitive one finds no "Q" and rescans the run from every a.
    const std::string value = "c c q" + std::string(200'000, 'a') + "z c";
    const Stopped rewriting = collectWithin(value, "Q[a]*Z|(?>a*)*c", "[$0]", false, limits);
    EXPECT_EQ(rewriting.outcome, "pattern stopped after 0.2 s");
    EXPECT_EQ(rewriting.collected, (Collected { 2, "[c]||[c]||" }));
}

TEST(MatchCollector, PatternsOfTheReportEndOnTheirPage)
{
    // 1 MB of a followed by b: no "c" after the run, which ends each search at once.
    const std::string page = "c c " + std::string(1'000'000, 'a') + "b";
    for (const char* p : { "(a*)\\1\\1\\1c", "(?>a*)*c" }) {
        SCOPED_TRACE(p);
        const Stopped s = collectWithin(page, p, "", false, CollectorLimits());
        EXPECT_EQ(s.collected, (Collected { 2, "c||c||" }));
        EXPECT_TRUE(s.outcome.isEmpty()) << s.outcome.toStdString();
    }
}

TEST(MatchCollector, NormalRowsHaveNoOutcome)
{
    const Stopped s = collectWithin("id=42 id=43", "\\d+", "<$0>", true, CollectorLimits());
    EXPECT_EQ(s.collected, (Collected { 2, "<42>||<43>||" }));
    EXPECT_TRUE(s.outcome.isEmpty());
    // A bad pattern stays silent, as before.
    EXPECT_TRUE(collectWithin("abc", "(", "", false, CollectorLimits()).outcome.isEmpty());
}

TEST(MatchCollector, MatchesStopAtTheCapKeepingWhatFits)
{
    CollectorLimits limits;
    limits.matchesBytes = 1024 * 1024;
    const std::string page(1'000'000, 'x');
    std::string numbers;
    for (int i = 0; i < 200'000; ++i)
        numbers += std::to_string(i) + ' ';
    const struct {
        const char* name;
        const std::string& page;
        QString pattern, replacement;
        bool unique;
        int count; // -1: some
    } cases[] = {
        // 1 MB times 10,000: each value is 10,000 bytes and 2 more for the separator.
        { "template blow-up", page, ".", QStringLiteral("$&").repeated(10'000), false,
            int(limits.matchesBytes / 10'002) },
        // The first value alone would be 100 GB: refused before it grows.
        { "one value past the cap", page, ".+", QStringLiteral("$_").repeated(100'000), false, 0 },
        { "plain values", page, "x", "", false, int(limits.matchesBytes / 3) },
        { "distinct values, unique", numbers, "\\d+", "", true, -1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Stopped s = collectWithin(c.page, c.pattern, c.replacement, c.unique, limits);
        if (c.count >= 0) {
            EXPECT_EQ(s.collected.count, c.count);
        }
        EXPECT_EQ(s.outcome, "matches stopped at 1 MiB");
        EXPECT_LE(std::size_t(s.collected.text.toUtf8().size()), limits.matchesBytes);
    }
    // Many equal values in unique mode: duplicates are dropped as they pile up, so the cap is never
    // reached (the values are "xxxxxxx" but for the last "x").
    const Stopped equal = collectWithin(page, "x{1,7}", "", true, limits);
    EXPECT_EQ(equal.collected, (Collected { 2, "x||xxxxxxx||" }));
    EXPECT_TRUE(equal.outcome.isEmpty()) << equal.outcome.toStdString();
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) // they reserve far more address space
namespace
{

// In a child process: the template blow-up under what is mapped now and 256 MiB more.
[[noreturn]] void blowUpWithLittleMemory()
{
    const std::string page(1'000'000, 'x');
    const QString tenThousand = QStringLiteral("$&").repeated(10'000);
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    const rlim_t bytes = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
    const rlimit limit { bytes, bytes };
    setrlimit(RLIMIT_AS, &limit);
    CollectorLimits noCap;
    noCap.matchesBytes = SIZE_MAX;
    const Stopped s = collectWithin(page, ".", tenThousand, false, noCap);
    std::fprintf(stderr, "count %d, outcome: %s\n", s.collected.count, qPrintable(s.outcome));
    std::_Exit(s.collected.count == 0 && s.collected.text.isEmpty() ? 0 : 1);
}

} // namespace

TEST(MatchCollectorDeathTest, RunningOutOfMemoryIsNeverSilent)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(blowUpWithLittleMemory(), ::testing::ExitedWithCode(0),
        "count 0, outcome: out of memory while collecting matches");
}
#endif
