#include "ui/MainWindowRules.h"

#include "engine/RunLimits.h"
#include "engine/RunSummary.h"
#include "engine/UpdateGUIThread.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace MainWindowRules
{

TrackBarRange threadCountRange(int processors)
{
    const int n = std::max(processors, 1);
    const int top = RunLimits::MaxThreads;
    // A maximum below the minimum is raised to it, so the range is n alone when n > top / 2.
    return { n, std::max(top - top % n, n), n };
}

TrackBarRange timeoutRange()
{
    return { RunLimits::MinTimeoutSeconds, RunLimits::MaxTimeoutSeconds, 0 };
}

QList<int> offeredValues(const TrackBarRange& range)
{
    QList<int> values;
    const int step = std::max(range.frequency, 1);
    for (int v = range.minimum; v <= range.maximum; v += step)
        values.append(v);
    return values;
}

TypedCommit commitTypedNumber(const QString& typed, const TrackBarRange& range)
{
    // Digits, one sign in front and one decimal separator: what the box lets the user type.
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+([.,]\\d*)?|[.,]\\d+)$"));
    if (!number.match(typed).hasMatch())
        return { false, QString() };
    QString dotted = typed;
    dotted.replace(QLatin1Char(','), QLatin1Char('.'));
    const double value = QLocale::c().toDouble(dotted);
    if (value < range.minimum)
        return { true, QString::number(range.minimum) };
    if (value > range.maximum)
        return { true, QString::number(range.maximum) };
    if (value == std::floor(value))
        return { true, QString::number(int(value)) };
    return { true, typed };
}

QString notAnIntegerText(const QString& text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

int toWholeNumber(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        throw std::runtime_error(notAnIntegerText(text).toStdString());
    return value;
}

std::optional<int> topRowWhenStarted(int m)
{
    if (m < 10)
        return std::nullopt;
    return m - 10;
}

QString runSummaryText(const RunSummary& summary)
{
    // Grouped the same way on every system, so the line reads the same in every report.
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const auto counted = [&](qint64 n, const char* one, const char* many) {
        return english.toString(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
    };
    QString text = QStringLiteral("%1, %2 failed, %3 in %4")
                       .arg(counted(summary.started, "page", "pages"), english.toString(summary.failed),
                           counted(summary.matches, "match", "matches"),
                           formatElapsedTime(std::chrono::milliseconds(summary.elapsedMs)));
    if (summary.notRun > 0) {
        const QString why = summary.stopped ? QStringLiteral("stopped, ")
            : summary.aborted               ? QStringLiteral("aborted, ")
                                            : QString();
        text += QStringLiteral(" (%1%2 not run)").arg(why, english.toString(summary.notRun));
    }
    return text;
}

QString stoppingText()
{
    return QStringLiteral("Stopping the run: waiting for the pages under way...");
}

QString noLibraryEntryText()
{
    return QStringLiteral("The regex library is empty: there is no entry to apply");
}

QString withDefaultExtension(const QString& path, const QString& extension)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot > slash + 1 && dot < path.size() - 1)
        return path;
    return (path.endsWith(QLatin1Char('.')) ? path.chopped(1) : path) + extension;
}

QString supportMailLink(const QString& address, const QString& softwareName)
{
    return QStringLiteral("mailto:") + address + QStringLiteral("?subject=") + softwareName
        + QStringLiteral(" support request");
}

} // namespace MainWindowRules
