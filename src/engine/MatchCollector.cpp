#include "engine/MatchCollector.h"

#include "engine/MatchDeadline.h"
#include "engine/MatchList.h"
#include "engine/NormalisedPage.h"
#include "engine/Pcre2Pattern.h"
#include "engine/ReplacementTemplate.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <QByteArray>
#include <QLocale>

#include <climits>
#include <memory>
#include <new>
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
    ValueRewriter(std::string_view patternUtf8, const QString& replacement, MatchDeadline& deadline) :
        m_pattern(patternUtf8, Pcre2Pattern::Case::Sensitive, &deadline),
        m_template(replacement, [this](std::string_view name) { return m_pattern.groupNumbers(name); }),
        m_groups(std::size_t(m_pattern.captureCount()) + 1)
    {
    }

    // Returns the rewritten value, valid until the next call; nothing when it would be longer than
    // limit bytes or the deadline passed (stopped then says so).
    std::optional<std::string_view> rewrite(std::string_view value, std::size_t limit, bool& stopped)
    {
        m_out.clear();
        std::size_t done = 0; // value[done..] is still unchanged
        while (done < value.size()) {
            const int rc = m_pattern.match(value, done, true);
            if (rc == Pcre2Pattern::Stopped) {
                stopped = true;
                return std::nullopt;
            }
            if (rc < 0) // no further match; an engine error ends the rewriting the same way
                break;
            const auto [start, end] = m_pattern.group(0);
            if (start - done > limit - std::min(limit, m_out.size()))
                return std::nullopt;
            m_out.append(value.substr(done, start - done));
            for (std::size_t g = 0; g < m_groups.size(); ++g) {
                const auto [s, e] = m_pattern.group(int(g));
                m_groups[g] = s == PCRE2_UNSET ? ReplacementTemplate::Group {}
                                               : ReplacementTemplate::Group { value.substr(s, e - s), true };
            }
            m_expansion.clear();
            if (!m_template.expand(
                    { m_groups, rc - 1, m_out, value.substr(end) }, m_expansion, limit - m_out.size()))
                return std::nullopt;
            m_out += m_expansion;
            done = end;
        }
        if (value.size() - done > limit - std::min(limit, m_out.size()))
            return std::nullopt;
        m_out.append(value.substr(done));
        return std::string_view(m_out);
    }

private:
    Pcre2Pattern m_pattern;
    ReplacementTemplate m_template;
    std::vector<ReplacementTemplate::Group> m_groups;
    std::string m_out;
    std::string m_expansion;
};

enum class Stop { None, Time, Cap };

Stop collect(std::string_view page, const QString& pattern, const QString& replacement, bool removeDuplicated,
    MatchDeadline& deadline, std::size_t capBytes, int& matchesCount, QString& matchesStrings,
    QStringList* exactValues)
{
    MatchList values(removeDuplicated, capBytes);
    Stop stop = Stop::None;
    if (!page.empty()) {
        const QByteArray patternUtf8 = pattern.toUtf8();
        Pcre2Pattern finder(view(patternUtf8), Pcre2Pattern::Case::Insensitive, &deadline);
        std::optional<ValueRewriter> rewriter; // compiled at the first value that needs it, then reused
        std::size_t offset = 0;
        while (offset <= page.size()) {
            if (values.size() == INT_MAX) {
                stop = Stop::Cap;
                break;
            }
            const int rc = finder.match(page, offset);
            if (rc == Pcre2Pattern::Stopped) {
                stop = Stop::Time;
                break;
            }
            if (rc < 0) // no further match, or an engine error: keep what we have
                break;
            const auto [start, end] = finder.group(0);
            if (end <= start) {
                if (end >= page.size())
                    break;
                offset = nextCharacter(page, end);
                continue;
            }
            const std::string_view value = page.substr(start, end - start);
            std::optional<std::string_view> kept = value;
            if (!replacement.isEmpty()) {
                if (!rewriter)
                    rewriter.emplace(view(patternUtf8), replacement, deadline);
                bool stopped = false;
                kept = rewriter->rewrite(value, values.largestValue(), stopped);
                if (stopped) {
                    stop = Stop::Time;
                    break;
                }
            }
            if (!kept || !values.add(*kept)) {
                stop = Stop::Cap;
                break;
            }
            offset = end;
        }
    }
    matchesStrings = values.joined(matchesCount, exactValues);
    return stop;
}

QString seconds(std::chrono::milliseconds time)
{
    return QLocale::c().toString(double(time.count()) / 1000.0, 'g', 6);
}

template <typename Page>
void applyGuarded(const Page& htmlSource, const QString& pattern, const QString& replacement, int& matchesCount,
    QString& matchesStrings, QStringList* exactValues, bool removeDuplicated, QString* stopOutcome,
    const CollectorLimits& limits)
{
    matchesCount = 0;
    matchesStrings.clear();
    if (exactValues)
        exactValues->clear();
    QString outcome;
    if (!pattern.isEmpty()) {
        try {
            MatchDeadline deadline(limits.cpuTime);
            const NormalisedPage page(htmlSource);
            switch (collect(page.utf8(), pattern, replacement, removeDuplicated, deadline, limits.matchesBytes,
                matchesCount, matchesStrings, exactValues)) {
            case Stop::None:
                break;
            case Stop::Time:
                outcome = QStringLiteral("pattern stopped after %1 s").arg(seconds(limits.cpuTime));
                break;
            case Stop::Cap:
                outcome = QStringLiteral("matches stopped at %1")
                              .arg(QLocale::c().formattedDataSize(
                                  qint64(limits.matchesBytes), 0, QLocale::DataSizeIecFormat));
                break;
            }
        } catch (const std::bad_alloc&) {
            // Never silent: the row is told that its matches are lost.
            matchesCount = 0;
            matchesStrings.clear();
            if (exactValues)
                exactValues->clear();
            outcome = lostMatchesOutcome();
        } catch (...) {
            // A bad pattern: the row shows 0 and no matches.
            matchesCount = 0;
            matchesStrings.clear();
            if (exactValues)
                exactValues->clear();
        }
    }
    if (stopOutcome)
        *stopOutcome = outcome;
}

} // namespace

void ApplyRegexToHtml(const QString& htmlSource, const QString& pattern, const QString& replacement,
    int& matchesCount, QString& matchesStrings, bool removeDuplicated, QString* stopOutcome,
    const CollectorLimits& limits)
{
    applyGuarded(QStringView(htmlSource), pattern, replacement, matchesCount, matchesStrings, nullptr,
        removeDuplicated, stopOutcome, limits);
}

void ApplyRegexToHtmlUtf8(std::string_view htmlUtf8, const QString& pattern, const QString& replacement,
    int& matchesCount, QString& matchesStrings, bool removeDuplicated, QString* stopOutcome,
    const CollectorLimits& limits)
{
    applyGuarded(htmlUtf8, pattern, replacement, matchesCount, matchesStrings, nullptr, removeDuplicated,
        stopOutcome, limits);
}

void ApplyRegexToHtmlUtf8(std::string_view htmlUtf8, const QString& pattern, const QString& replacement,
    int& matchesCount, QString& matchesStrings, QStringList& exactValues, bool removeDuplicated,
    QString* stopOutcome, const CollectorLimits& limits)
{
    applyGuarded(htmlUtf8, pattern, replacement, matchesCount, matchesStrings, &exactValues, removeDuplicated,
        stopOutcome, limits);
}

QString lostMatchesOutcome()
{
    return QStringLiteral("out of memory while collecting matches");
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
    int& matchesCount, QString& matchesStrings, QStringList* exactValues, bool removeDuplicated,
    QString* stopOutcome, const CollectorLimits& limits)
{
    applyGuarded(NormalisedPage::Unchecked { htmlBytes }, pattern, replacement, matchesCount, matchesStrings,
        exactValues, removeDuplicated, stopOutcome, limits);
}
