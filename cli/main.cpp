// glimmerpick-cli: the command-line front end over the same engine as the desktop program.
#include "app/CommonVarsC.h"
#include "cli/CommandLineRun.h"
#include "engine/RunLimits.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <exception>
#include <new>
#include <optional>

namespace
{

const char* const Usage
    = "Usage: glimmerpick-cli [options] URLFILE\n"
      "Fetches every URL of URLFILE (one per line, optionally URL||PATTERN||REPLACEMENT) and writes\n"
      "the regular-expression matches, one per line (or as CSV or JSON Lines: --format).\n"
      "\n"
      "  -o, --output FILE        export file (as the GUI's export); without it: standard output\n"
      "      --format FORMAT      export format: txt (one match per line; the default), csv (a\n"
      "                           row,url,match record per match) or jsonl (a JSON object per row)\n"
      "      --shard K/N          run only the lines r of URLFILE with (r - 1) mod N = K - 1 (1-based);\n"
      "                           the csv and jsonl exports and the report keep the lines' numbers\n"
      "  -t, --threads N          worker threads, 1..60 (default: processor count)\n"
      "  -T, --timeout SECONDS    request time limit in seconds, 3..30 (default 10)\n"
      "  -p, --enable-proxies     draw a proxy from proxies.txt for every request\n"
      "  -u, --remove-duplicated  unique mode of the collector\n"
      "  -r, --regex NAME         before the run, apply the library entry whose description is NAME\n"
      "                           to every row\n"
      "      --resources DIR      folder with proxies.txt, referers.txt, user_agents.txt, data.db\n"
      "                           (default: \"resources\" beside the executable)\n"
      "      --report FILE        per-row TSV: row (line number in URLFILE), URL, column-3 text, fetch\n"
      "                           outcome\n"
      "      --max-page-mb N      the largest page taken, in MiB, 1..4096 (default 128)\n"
      "      --list-regex         print the library entries, one per line: description TAB pattern\n"
      "                           TAB replacement\n"
      "  -q, --quiet              no progress on standard error\n"
      "  -h, --help               show this help and exit\n"
      "      --version            show the version and exit\n"
      "\n"
      "Exit status: 0 the run completed (pages may have failed); 1 start-up failure (an identity file\n"
      "or the library missing or unreadable) or a result that could not be written; 2 usage error,\n"
      "unreadable URL file, a row without a pattern, an option out of range (--shard K or N\n"
      "included), an unknown --format or --regex NAME, an output or report file that cannot be\n"
      "written, or proxies enabled with an empty proxies.txt; 130 or 143 stopped by SIGINT or\n"
      "SIGTERM (the rows done are written; a second signal ends at once without writing).\n";

std::optional<ExportFormat> exportFormatNamed(const QString& name)
{
    if (name == QLatin1String("txt"))
        return ExportFormat::Text;
    if (name == QLatin1String("csv"))
        return ExportFormat::Csv;
    if (name == QLatin1String("jsonl"))
        return ExportFormat::JsonLines;
    return std::nullopt;
}

int usageError(const QString& text)
{
    std::fprintf(stderr, "glimmerpick-cli: %s (see --help)\n", text.toUtf8().constData());
    return CliExitUsage;
}

// Reads an option's whole decimal number within [low, high] into value, when the option is given.
// Returns false when its value is no such number.
bool wholeNumberOption(
    const QCommandLineParser& parser, const QCommandLineOption& option, int low, int high, int& value)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const int n = parser.value(option).toInt(&ok, 10);
    if (!ok || n < low || n > high)
        return false;
    value = n;
    return true;
}

int runMain(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption output({ "o", "output" }, "", "FILE");
    const QCommandLineOption format("format", "", "FORMAT");
    const QCommandLineOption shard("shard", "", "K/N");
    const QCommandLineOption threads({ "t", "threads" }, "", "N");
    const QCommandLineOption timeout({ "T", "timeout" }, "", "SECONDS");
    const QCommandLineOption proxies({ "p", "enable-proxies" }, "");
    const QCommandLineOption unique({ "u", "remove-duplicated" }, "");
    const QCommandLineOption regex({ "r", "regex" }, "", "NAME");
    const QCommandLineOption resources("resources", "", "DIR");
    const QCommandLineOption report("report", "", "FILE");
    const QCommandLineOption maxPage("max-page-mb", "", "N");
    const QCommandLineOption listRegex("list-regex", "");
    const QCommandLineOption quiet({ "q", "quiet" }, "");
    const QCommandLineOption help({ "h", "help" }, "");
    const QCommandLineOption version("version", "");
    parser.addOptions({ output, format, shard, threads, timeout, proxies, unique, regex, resources, report,
        maxPage, listRegex, quiet, help, version });

    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(Usage, stdout);
        return CliExitCompleted;
    }
    if (parser.isSet(version)) {
        const CommonVars vars;
        std::printf("%s %s\n", qPrintable(vars.SOFTWARENAME), qPrintable(vars.SOFTWAREVERSION));
        return CliExitCompleted;
    }
    if (parser.isSet(listRegex)) {
        if (!parser.positionalArguments().isEmpty())
            return usageError(QStringLiteral("--list-regex takes no URLFILE"));
        return listRegexLibrary(parser.value(resources), stdout, stderr);
    }

    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(QStringLiteral("no URLFILE given"));
    if (files.size() > 1)
        return usageError(QStringLiteral("one URLFILE only, got %1").arg(files.size()));

    CommandLineOptions options;
    options.urlFile = files.first();
    options.outputFile = parser.value(output);
    options.reportFile = parser.value(report);
    options.resourcesDir = parser.value(resources);
    if (parser.isSet(regex))
        options.regexName = parser.value(regex);
    options.enableProxies = parser.isSet(proxies);
    options.removeDuplicated = parser.isSet(unique);
    options.quiet = parser.isSet(quiet);
    options.threads = std::clamp(QThread::idealThreadCount(), RunLimits::MinThreads, RunLimits::MaxThreads);
    if (!wholeNumberOption(parser, threads, RunLimits::MinThreads, RunLimits::MaxThreads, options.threads))
        return usageError(
            QStringLiteral("--threads takes a whole number from 1 to 60, not \"%1\"").arg(parser.value(threads)));
    if (!wholeNumberOption(
            parser, timeout, RunLimits::MinTimeoutSeconds, RunLimits::MaxTimeoutSeconds, options.timeoutSeconds))
        return usageError(QStringLiteral("--timeout takes a whole number of seconds from 3 to 30, not \"%1\"")
                              .arg(parser.value(timeout)));
    if (!wholeNumberOption(parser, maxPage, 1, 4096, options.maxPageMiB))
        return usageError(QStringLiteral("--max-page-mb takes a whole number of MiB from 1 to 4096, not \"%1\"")
                              .arg(parser.value(maxPage)));
    if (parser.isSet(format)) {
        const std::optional<ExportFormat> f = exportFormatNamed(parser.value(format));
        if (!f)
            return usageError(
                QStringLiteral("--format takes txt, csv or jsonl, not \"%1\"").arg(parser.value(format)));
        options.format = *f;
    }
    if (parser.isSet(shard)) {
        const std::optional<RowShard> s = RowShard::parse(parser.value(shard));
        if (!s)
            return usageError(QStringLiteral("--shard takes K/N with whole numbers 1 <= K <= N, not \"%1\"")
                                  .arg(parser.value(shard)));
        options.shard = *s;
    }
    for (const QCommandLineOption* o : { &output, &report, &resources })
        if (parser.isSet(*o) && parser.value(*o).isEmpty())
            return usageError(QStringLiteral("--%1 needs a non-empty value").arg(o->names().last()));

    return runCommandLine(options, stdout, stderr);
}

} // namespace

int main(int argc, char** argv)
{
    // A reader that went away (a closed pipe, a FIFO's reader) fails that one write with "Broken
    // pipe", named, instead of ending the process before the other result is written.
    std::signal(SIGPIPE, SIG_IGN);
    // Whatever the run throws ends here with one line, never in std::terminate.
    try {
        return runMain(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("glimmerpick-cli: out of memory\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "glimmerpick-cli: %s\n", e.what());
    } catch (...) {
        std::fputs("glimmerpick-cli: unexpected error\n", stderr);
    }
    return CliExitFailure;
}
