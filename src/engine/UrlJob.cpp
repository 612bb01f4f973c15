#include "engine/UrlJob.h"

#include "engine/MatchCollector.h"
#include "engine/RunSettings.h"
#include "engine/RunTally.h"
#include "engine/UiHandOff.h"
#include "fetch/HttpUtilC.h"
#include "fetch/IdentityLists.h"
#include "results/StringGridUtil.h"

#include <string>

Job ThreadFunction(const UrlJobContext& context, int m, RunTally& tally)
{
    return [context, m, &tally] {
        UiHandOff& ui = context.handOff;
        const RunSettings& settings = context.settings;

        // The only look at the abort flag: a job past it runs to its end.
        if (settings.StopThreadingFlag)
            return;
        const QString ReturnedCode = QStringLiteral("Fetching page...");
        QString WebsiteUrl;
        QString RegexPatternApplyed;
        QString RegexReplacementApplyed;
        ui.runOnUiThread([&] {
            if (m >= 10)
                ui.scrollRowToTop(m - 10);
            ResultsModel& grid = ui.grid();
            grid.setCell(m, ColumnMatchesNumber, ReturnedCode);
            // Read now, not at the run's start: edits made meanwhile count.
            WebsiteUrl = grid.cell(m, ColumnUrl);
            RegexPatternApplyed = grid.cell(m, ColumnRegexPattern);
            RegexReplacementApplyed = grid.cell(m, ColumnRegexReplace);
            ui.setCompletedText(QString::number(m + 1));
        });
        ++tally.started;

        HttpUtil HttpClient(settings.TimeoutThreads);
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

        std::string HtmlSource;
        QString outcome = noProxyOutcome();
        if (fetch) {
            HttpClient.GetPageUtf8(WebsiteUrl, Referer, UserAgent, &proxyList, HtmlSource);
            outcome = HttpClient.outcome().text;
        }
        int matchesCount = 0;
        QString MatchesStrings;
        QString stopOutcome;
        ApplyRegexToHtmlUtf8(HtmlSource, RegexPatternApplyed, RegexReplacementApplyed, matchesCount,
            MatchesStrings, settings.RemoveDuplicated, &stopOutcome);
        // A row whose collecting stopped early (time, cap, memory) says so and counts as failed.
        if (!stopOutcome.isEmpty())
            outcome = outcome.isEmpty() ? stopOutcome : outcome + QStringLiteral("; ") + stopOutcome;

        ui.runOnUiThread([&] {
            ResultsModel& grid = ui.grid();
            grid.setCell(m, ColumnMatchesNumber, QString::number(matchesCount));
            grid.setCell(m, ColumnMatches, MatchesStrings);
            grid.setOutcome(m, outcome);
        });
        tally.matches += matchesCount;
        if (!outcome.isEmpty())
            ++tally.failed;
        ++tally.completed;
    };
}

JobFactory urlJobFactory(const UrlJobContext& context)
{
    return [context](int m, RunTally& tally) { return ThreadFunction(context, m, tally); };
}

QString proxyRefusal(const RunSettings& settings, const IdentityLists& lists)
{
    const IdentityList proxies = lists.ListProxies();
    if (!settings.EnableProxies || (proxies && !proxies->isEmpty()))
        return QString();
    return QStringLiteral(
        "You cannot run with \"Enable proxies\" checked because \"proxies.txt\" holds no proxy\r\n"
        "Add proxies to \"proxies.txt\" or uncheck \"Enable proxies\"");
}

QString noProxyOutcome()
{
    return QStringLiteral("no proxy: \"proxies.txt\" is empty");
}
