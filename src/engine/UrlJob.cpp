#include "engine/UrlJob.h"

#include "engine/MatchCollector.h"
#include "engine/RunChannel.h"
#include "engine/RunSettings.h"
#include "fetch/HttpUtilC.h"
#include "fetch/IdentityLists.h"

#include <string_view>

Job ThreadFunction(const UrlJobContext& context, int m, RunChannel& run)
{
    return [context, m, &run] {
        const RunSettings& settings = context.settings;

        // The only look at the abort flag: a job past it runs to its end.
        if (settings.StopThreadingFlag)
            return;
        // Read now, not at the run's start: edits made meanwhile count.
        const RowInput row = run.rowStarted(m);

        HttpUtil HttpClient(settings.TimeoutThreads, context.transfers ? *context.transfers : nullptr);
        HttpClient.setMaxPageBytes(settings.MaxPageBytes);
        // An empty list gives an empty value, which sends no such header.
        const QString Referer = drawEntry(context.lists.ListReferers()).value_or(QString());
        const QString UserAgent = drawEntry(context.lists.ListUserAgents()).value_or(QString());
        QStringList proxyList;
        bool fetch = true;
        if (settings.EnableProxies) {
            if (const std::optional<QString> proxy = drawEntry(context.lists.ListProxies()))
                proxyList = buildProxyList(*proxy);
            else
                fetch = false; // never a request without the proxy the user asked for
        }

        // The page stays in HttpClient's buffer; its UTF-8 is checked in the collector's first pass.
        std::string_view HtmlSource;
        bool utf8Checked = true;
        RowResult result;
        result.row = m;
        result.outcome = noProxyOutcome();
        if (fetch) {
            HtmlSource = HttpClient.GetPageView(row.url, Referer, UserAgent, &proxyList, utf8Checked);
            result.outcome = HttpClient.outcome().text;
        }
        QString stopOutcome;
        if (utf8Checked)
            ApplyRegexToHtmlUtf8(HtmlSource, row.pattern, row.replacement, result.count, result.matches,
                result.values, settings.RemoveDuplicated, &stopOutcome);
        else
            ApplyRegexToUncheckedUtf8(HtmlSource, row.pattern, row.replacement, result.count, result.matches,
                &result.values, settings.RemoveDuplicated, &stopOutcome);
        // A row whose collecting stopped early (time, cap, memory) says so and counts as failed.
        if (!stopOutcome.isEmpty())
            result.outcome
                = result.outcome.isEmpty() ? stopOutcome : result.outcome + QStringLiteral("; ") + stopOutcome;
        run.rowFinished(std::move(result));
    };
}

JobFactory urlJobFactory(const UrlJobContext& context)
{
    return [context](int m, RunChannel& run) { return ThreadFunction(context, m, run); };
}

QString proxyRefusal(const RunSettings& settings, const IdentityLists& lists)
{
    const IdentityList proxies = lists.ListProxies();
    // Blank or host-less lines alone would send every request around the proxy.
    if (!settings.EnableProxies || (proxies && surveyProxyLines(*proxies).withHost > 0))
        return QString();
    return QStringLiteral(
        "You cannot run with \"Enable proxies\" checked because \"proxies.txt\" holds no proxy\r\n"
        "Add proxies to \"proxies.txt\" or uncheck \"Enable proxies\"");
}

QString proxyWarning(const RunSettings& settings, const IdentityLists& lists)
{
    const IdentityList proxies = lists.ListProxies();
    if (!settings.EnableProxies || !proxies)
        return QString();
    const ProxyLineSurvey survey = surveyProxyLines(*proxies);
    if (survey.withHost == 0 || survey.hostlessLines.isEmpty())
        return QString();
    QStringList numbers;
    for (const qsizetype n : survey.hostlessLines)
        numbers.append(QString::number(n));
    const qsizetype count = survey.hostlessLines.size();
    return QStringLiteral(
        "\"proxies.txt\" has %1 line%2 without a proxy host (line%2 %3): a request that draws %4 "
        "goes out without a proxy")
        .arg(count)
        .arg(count == 1 ? QString() : QStringLiteral("s"))
        .arg(numbers.join(QStringLiteral(", ")))
        .arg(count == 1 ? QStringLiteral("it") : QStringLiteral("one"));
}

QString noProxyOutcome()
{
    return QStringLiteral("no proxy: \"proxies.txt\" is empty");
}
