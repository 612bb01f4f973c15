#include "engine/MatchCollector.h"

#include "engine/MatchList.h"
#include "engine/NormalisedPage.h"
#include "engine/Pcre2Pattern.h"
#include "engine/ReplacementTemplate.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <QByteArray>

#include <climits>
#include <memory>
#include <optional>
#include <vector>

namespace
{

std::string_view view(const QByteArray& bytes)
{
    return { bytes.constData(), std::size_t(bytes.size()) };
}

// The offset one character after at, in valid UTF-8.
std::size_t nextCharacter(std::string_view text, std::size_t at)
{
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        ++at;
    return at;
}

// Rewrites one match value: every non-overlapping, non-empty match of the case-sensitive pattern
// inside the value alone, left to right, by the template. The value is rewritten in place: what the
// template sees before a match includes the earlier replacements, what it sees after does not.
class ValueRewriter
{
public:
    ValueRewriter(std::string_view patternUtf8, const QString& replacement) :
        m_pattern(patternUtf8, Pcre2Pattern::Case::Sensitive),
        m_template(replacement, [this](std::string_view name) { return m_pattern.groupNumbers(name); }),
        m_groups(std::size_t(m_pattern.captureCount()) + 1)
    {
    }

    // Returns the rewritten value; valid until the next call.
    std::string_view rewrite(std::string_view value)
    {
        m_out.clear();
        std::size_t done = 0; // value[done..] is still unchanged
        while (done < value.size()) {
            const int rc = m_pattern.match(value, done, true);
            if (rc < 0) // no further match; an engine error ends the rewriting the same way
                break;
            const auto [start, end] = m_pattern.group(0);
            m_out.append(value.substr(done, start - done));
            for (std::size_t g = 0; g < m_groups.size(); ++g) {
                const auto [s, e] = m_pattern.group(int(g));
                m_groups[g] = s == PCRE2_UNSET ? ReplacementTemplate::Group {}
                                               : ReplacementTemplate::Group { value.substr(s, e - s), true };
            }
            m_expansion.clear();
            m_template.expand({ m_groups, rc - 1, m_out, value.substr(end) }, m_expansion);
            m_out += m_expansion;
            done = end;
        }
        m_out.append(value.substr(done));
        return m_out;
    }

private:
    Pcre2Pattern m_pattern;
    ReplacementTemplate m_template;
    std::vector<ReplacementTemplate::Group> m_groups;
    std::string m_out;
    std::string m_expansion;
};

void collect(std::string_view page, const QString& pattern, const QString& replacement, bool removeDuplicated,
    int& matchesCount, QString& matchesStrings, QStringList* exactValues)
{
    MatchList values(removeDuplicated);
    if (!page.empty()) {
        const QByteArray patternUtf8 = pattern.toUtf8();
        Pcre2Pattern finder(view(patternUtf8), Pcre2Pattern::Case::Insensitive);
        std::optional<ValueRewriter> rewriter; // compiled at the first value that needs it, then reused
        std::size_t offset = 0;
        while (offset <= page.size() && values.size() < INT_MAX) {
            if (finder.match(page, offset) < 0) // no further match, or an engine error: keep what we have
                break;
            const auto [start, end] = finder.group(0);
            if (end <= start) {
                if (end >= page.size())
                    break;
                offset = nextCharacter(page, end);
                continue;
            }
            const std::string_view value = page.substr(start, end - start);
            if (replacement.isEmpty()) {
                values.add(value);
            } else {
                if (!rewriter)
                    rewriter.emplace(view(patternUtf8), replacement);
                values.add(rewriter->rewrite(value));
            }
            offset = end;
        }
    }
    matchesStrings = values.joined(matchesCount, exactValues);
}

template <typename Page>
void applyGuarded(const Page& htmlSource, const QString& pattern, const QString& replacement, int& matchesCount,
    QString& matchesStrings, QStringList* exactValues, bool removeDuplicated)
{
    matchesCount = 0;
    matchesStrings.clear();
    if (exactValues)
        exactValues->clear();
    if (pattern.isEmpty())
        return;
    try {
        const NormalisedPage page(htmlSource);
        collect(page.utf8(), pattern, replacement, removeDuplicated, matchesCount, matchesStrings, exactValues);
    } catch (...) {
        // A bad pattern, or no memory for the values: the row shows 0 and no matches.
        matchesCount = 0;
        matchesStrings.clear();
        if (exactValues)
            exactValues->clear();
    }
}

} // namespace

void ApplyRegexToHtml(const QString& htmlSource, const QString& pattern, const QString& replacement,
    int& matchesCount, QString& matchesStrings, bool removeDuplicated)
{
    applyGuarded(
        QStringView(htmlSource), pattern, replacement, matchesCount, matchesStrings, nullptr, removeDuplicated);
}

void ApplyRegexToHtmlUtf8(std::string_view htmlUtf8, const QString& pattern, const QString& replacement,
    int& matchesCount, QString& matchesStrings, bool removeDuplicated)
{
    applyGuarded(htmlUtf8, pattern, replacement, matchesCount, matchesStrings, nullptr, removeDuplicated);
}

void ApplyRegexToHtmlUtf8(std::string_view htmlUtf8, const QString& pattern, const QString& replacement,
    int& matchesCount, QString& matchesStrings, QStringList& exactValues, bool removeDuplicated)
{
    applyGuarded(htmlUtf8, pattern, replacement, matchesCount, matchesStrings, &exactValues, removeDuplicated);
}

QString patternCompileError(const QString& pattern)
{
    if (pattern.isEmpty())
        return QStringLiteral("the pattern is empty");
    try {
        const QByteArray patternUtf8 = pattern.toUtf8();
        // The case option changes no compile error: one compilation answers for both the collector makes.
        Pcre2Pattern finder(view(patternUtf8), Pcre2Pattern::Case::Insensitive);
    } catch (const PatternError& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

void ApplyRegexToUncheckedUtf8(std::string_view htmlBytes, const QString& pattern, const QString& replacement,
    int& matchesCount, QString& matchesStrings, QStringList* exactValues, bool removeDuplicated)
{
    applyGuarded(NormalisedPage::Unchecked { htmlBytes }, pattern, replacement, matchesCount, matchesStrings,
        exactValues, removeDuplicated);
}
