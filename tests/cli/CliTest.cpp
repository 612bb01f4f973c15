// glimmerpick-cli as a user runs it: the built program against a server on 127.0.0.1.
#include "CliProcess.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace
{

const QString Resources = QStringLiteral(GLIMMERPICK_BIN_DIR "/resources");
const char* const Pattern = "[a-z0-9.]+@[a-z0-9.]+\\.org";

// Page n holds n % 3 addresses, every 100th page is missing.
class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server.get(R"(/p/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            const int n = std::stoi(req.matches[1]);
            if (n % 100 == 99) {
                res.status = 404;
                return;
            }
            std::string body = "<html><body>";
            for (int i = 0; i < n % 3; ++i)
                body += "<p>user" + std::to_string(i) + ".p" + std::to_string(n) + "@mail.org</p>";
            res.set_content(body + "</body></html>", "text/html");
        });
        server.start();
    }

    QString urlFile(int rows)
    {
        QByteArray lines;
        for (int n = 0; n < rows; ++n)
            lines += QByteArray::fromStdString(server.baseUrl()) + "/p/" + QByteArray::number(n) + "||" + Pattern
                + "\r\n";
        return dir.write(QStringLiteral("urls.txt"), lines);
    }

    static QByteArray expectedExport(int rows)
    {
        QByteArray out;
        for (int n = 0; n < rows; ++n)
            if (n % 100 != 99)
                for (int i = 0; i < n % 3; ++i)
                    out += "user" + QByteArray::number(i) + ".p" + QByteArray::number(n) + "@mail.org\r\n";
        return out;
    }

    TempDir dir;
    TestHttpServer server;
};

} // namespace

TEST_F(CliTest, AThousandUrlsEndToEnd)
{
    const QString urls = urlFile(1000);
    const QString report = dir.path(QStringLiteral("report.tsv"));
    const QString output = dir.path(QStringLiteral("out.txt"));
    const CliResult r
        = runCli({ "-t", "8", "-T", "5", "--resources", Resources, "--report", report, "-o", output, urls });
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(dir.read(QStringLiteral("out.txt")), expectedExport(1000));
    // The summary counts the ten missing pages as failed.
    EXPECT_TRUE(r.err.contains("1000 rows: 990 fetched, 10 failed, 990 matches")) << r.err.toStdString();

    const QList<QByteArray> lines = dir.read(QStringLiteral("report.tsv")).split('\n');
    ASSERT_EQ(lines.size(), 1002); // header, 1000 rows, and the empty piece after the last LF
    EXPECT_EQ(lines[0], "row\turl\tresult\toutcome");
    const QByteArray base = QByteArray::fromStdString(server.baseUrl());
    EXPECT_EQ(lines[1], "1\t" + base + "/p/0\t0\t");
    EXPECT_EQ(lines[3], "3\t" + base + "/p/2\t2\t");
    EXPECT_EQ(lines[100], "100\t" + base + "/p/99\t0\tHTTP 404");
    EXPECT_EQ(lines[1001], "");

    // Quiet, to standard output: the export and nothing else, and nothing on standard error.
    const CliResult quiet = runCli({ "-q", "--resources", Resources, urls });
    ASSERT_EQ(quiet.exitCode, 0) << quiet.err.toStdString();
    EXPECT_EQ(quiet.out, expectedExport(1000));
    EXPECT_TRUE(quiet.err.isEmpty()) << quiet.err.toStdString();
}

TEST_F(CliTest, ExitStatusAndMessageForEachRefusal)
{
    const QString urls = urlFile(3);
    const QString noPattern
        = dir.write(QStringLiteral("nopattern.txt"), "http://127.0.0.1/a||x\nhttp://127.0.0.1/b\n");
    const QString empty = dir.write(QStringLiteral("empty.txt"), "");
    // A resources folder without referers.txt.
    QDir().mkpath(dir.path(QStringLiteral("partial")));
    dir.write(QStringLiteral("partial/proxies.txt"), "");
    dir.write(QStringLiteral("partial/user_agents.txt"), "Agent\n");
    // Every identity file, but no library.
    QDir().mkpath(dir.path(QStringLiteral("nolib")));
    for (const char* name : { "nolib/proxies.txt", "nolib/referers.txt", "nolib/user_agents.txt" })
        dir.write(QString::fromUtf8(name), "");

    struct Case {
        QStringList args;
        int exitCode;
        const char* errContains;
    };
    const QString res = Resources;
    const Case cases[] = {
        { {}, 2, "no URLFILE given" },
        { { "--bogus", urls }, 2, "bogus" },
        { { urls, urls }, 2, "one URLFILE only" },
        { { "-t", "0", urls }, 2, "--threads takes a whole number from 1 to 60, not \"0\"" },
        { { "-t", "61", urls }, 2, "--threads" },
        { { "-t", "four", urls }, 2, "--threads" },
        { { "-T", "2", urls }, 2, "--timeout takes a whole number of seconds from 3 to 30" },
        { { "-T", "31", urls }, 2, "--timeout" },
        { { "--resources", res, "-r", "No such entry", urls }, 2,
            "no entry \"No such entry\" in the regex library" },
        { { "--resources", dir.path("nolib"), "-r", "Page title", urls }, 1, "nolib/data.db" },
        { { "--resources", dir.path("nolib"), "--list-regex" }, 1, "nolib/data.db" },
        { { "--list-regex", urls }, 2, "--list-regex takes no URLFILE" },
        { { "--resources", res, dir.path("missing.txt") }, 2, "missing.txt" },
        { { "--resources", res, noPattern }, 2,
            "row 2: You cannot run because one or more rows haven't regular expressions" },
        { { "--resources", res, "-p", urls }, 2, "\"proxies.txt\" holds no proxy" },
        { { "--resources", res, "-o", dir.path("no/such/folder/out.txt"), urls }, 2, "No folder" },
        { { "--resources", dir.path("nowhere"), urls }, 1, "nowhere/proxies.txt" },
        { { "--resources", dir.path("partial"), urls }, 1, "partial/referers.txt" },
        { { "--resources", res, empty }, 0, "" },
        { { "--format", "xml", urls }, 2, "--format takes txt, csv or jsonl, not \"xml\"" },
        { { "--format", "CSV", urls }, 2, "--format" },
        { { "--shard", "0/3", urls }, 2, "--shard takes K/N with whole numbers 1 <= K <= N, not \"0/3\"" },
        { { "--shard", "4/3", urls }, 2, "--shard" },
        { { "--shard", "1/0", urls }, 2, "--shard" },
        { { "--shard", "2", urls }, 2, "--shard" },
        { { "--shard", "a/b", urls }, 2, "--shard" },
        { { "--resources", res, "--shard", "2/2", noPattern }, 2,
            "row 2: You cannot run because one or more rows haven't regular expressions" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(c.errContains)) << r.err.toStdString();
        if (c.exitCode != 0) {
            EXPECT_EQ(r.err.count('\n'), 1) << "one line: " << r.err.toStdString();
        }
    }

    const CliResult help = runCli({ "--help" });
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith("Usage: glimmerpick-cli [options] URLFILE"));
    const CliResult version = runCli({ "--version" });
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_TRUE(version.out.contains("1.0.0"));
}

TEST_F(CliTest, LibraryEntryAppliedToEveryRowAndListed)
{
    const CliResult list = runCli({ "--resources", Resources, "--list-regex" });
    EXPECT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.startsWith("Canonical URL\t")) << list.out.toStdString();
    EXPECT_TRUE(list.out.contains("\nPage title\t(?i)<title")) << list.out.toStdString();
    EXPECT_TRUE(list.err.isEmpty());

    // A URL-only file runs once the library entry has filled in the pattern; a row's own
    // replacement is emptied by the entry's empty one.
    QByteArray lines;
    for (int n = 0; n < 10; ++n)
        lines += QByteArray::fromStdString(server.baseUrl()) + "/p/" + QByteArray::number(n)
            + (n == 4 ? "||x||[$0]" : "") + "\n";
    const QString urls = dir.write(QStringLiteral("plain.txt"), lines);
    const CliResult run = runCli({ "-q", "--resources", Resources, "-r", "E-mail addresses", urls });
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, expectedExport(10));
}

namespace
{

// The records of an export with their line ends: a CSV record ends at a line end outside quotes
// (its fields may hold CR LF), a report line at every LF.
QList<QByteArray> recordsOf(const QByteArray& bytes, bool csv)
{
    QList<QByteArray> records;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (csv && bytes[i] == '"')
            quoted = !quoted;
        if (!quoted && bytes[i] == '\n') {
            records.append(bytes.mid(start, i + 1 - start));
            start = i + 1;
        }
    }
    if (start < bytes.size())
        records.append(bytes.mid(start));
    return records;
}

// Shard outputs merged as the README says: one header, then every record stably sorted by the row
// number it starts with.
QByteArray mergedByRow(const QList<QByteArray>& files, bool csv)
{
    QByteArray header;
    QList<QByteArray> records;
    for (const QByteArray& file : files) {
        QList<QByteArray> own = recordsOf(file, csv);
        if (own.isEmpty())
            continue;
        header = own.takeFirst();
        records += own;
    }
    const auto rowOf
        = [csv](const QByteArray& record) { return record.left(record.indexOf(csv ? ',' : '\t')).toInt(); };
    std::stable_sort(records.begin(), records.end(),
        [&](const QByteArray& a, const QByteArray& b) { return rowOf(a) < rowOf(b); });
    return header + records.join();
}

const char* const TrickyVariants[] = { "plain", "a,b", "say \"q\"", "cr\rx", "p||q", "\xF0\x9F\x98\x80" };

} // namespace

TEST_F(CliTest, ShardsMergeByRowIntoTheUnshardedRun)
{
    // Line n + 1 (n from 0) has n % 4 matches drawn from values a CSV must quote; every seventh
    // page is missing.
    server.get(R"(/m/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        const int n = std::stoi(req.matches[1]);
        if (n % 7 == 6) {
            res.status = 404;
            return;
        }
        std::string body = "<html>";
        for (int i = 0; i < n % 4; ++i)
            body += std::string("<i>") + TrickyVariants[(n + i) % 6] + std::to_string(n) + "</i>";
        res.set_content(body + "</html>", "text/html");
    });
    const int rows = 40;
    int expectedMatches = 0;
    QByteArray lines;
    for (int n = 0; n < rows; ++n) {
        lines += QByteArray::fromStdString(server.baseUrl()) + "/m/" + QByteArray::number(n)
            + "||<i>([^<]*)</i>||$1\n";
        expectedMatches += n % 7 == 6 ? 0 : n % 4;
    }
    const QString urls = dir.write(QStringLiteral("urls.txt"), lines);

    const auto run = [&](const QString& name, const QStringList& extra) {
        const CliResult r = runCli(QStringList { "-q", "-t", "4", "--resources", Resources, "--format", "csv",
                                       "-o", dir.path(name + ".csv"), "--report", dir.path(name + ".tsv") }
            + extra + QStringList { urls });
        EXPECT_EQ(r.exitCode, 0) << name.toStdString() << ": " << r.err.toStdString();
        return std::pair { dir.read(name + ".csv"), dir.read(name + ".tsv") };
    };
    const auto [whole, wholeReport] = run("whole", {});
    ASSERT_EQ(recordsOf(whole, true).size(), 1 + expectedMatches) << whole.toStdString();
    EXPECT_TRUE(whole.contains(",\"cr\rx3\"\r\n")) << whole.toStdString();
    EXPECT_TRUE(whole.contains(",p||q3\r\n")) << whole.toStdString();

    QList<QByteArray> csvs, reports;
    for (int k = 1; k <= 3; ++k) {
        const auto [csv, report]
            = run(QStringLiteral("shard%1").arg(k), { "--shard", QStringLiteral("%1/3").arg(k) });
        csvs.append(csv);
        reports.append(report);
    }
    EXPECT_EQ(mergedByRow(csvs, true), whole);
    EXPECT_EQ(mergedByRow(reports, false), wholeReport);
    // The second shard's rows are lines 2, 5, 8, ...
    EXPECT_TRUE(reports[1].startsWith("row\turl\tresult\toutcome\n2\t")) << reports[1].toStdString();
    EXPECT_EQ(run("one", { "--shard", "1/1" }).first, whole);

    // JSON Lines to standard output, one object per row of the shard with the line's number.
    const CliResult json = runCli({ "-q", "--resources", Resources, "--format", "jsonl", "--shard", "2/3", urls });
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QList<QByteArray> objects = json.out.trimmed().split('\n');
    ASSERT_EQ(objects.size(), 13) << json.out.toStdString();
    for (qsizetype i = 0; i < objects.size(); ++i) {
        const QJsonObject o = QJsonDocument::fromJson(objects[i]).object();
        const int n = 3 * int(i) + 1; // 0-based line index
        EXPECT_EQ(o.value("row").toInt(), n + 1) << objects[i].toStdString();
        EXPECT_EQ(o.value("count").toInt(), n % 7 == 6 ? 0 : n % 4) << objects[i].toStdString();
        EXPECT_EQ(o.value("outcome").toString(), n % 7 == 6 ? "HTTP 404" : "") << objects[i].toStdString();
    }

    // Fewer rows than shards: an empty shard runs and writes an export with no record.
    const QString two
        = dir.write(QStringLiteral("two.txt"), lines.left(lines.indexOf('\n', lines.indexOf('\n') + 1) + 1));
    const CliResult empty = runCli({ "-q", "--resources", Resources, "--format", "csv", "--shard", "3/3", two });
    EXPECT_EQ(empty.exitCode, 0) << empty.err.toStdString();
    EXPECT_EQ(empty.out, "row,url,match\r\n");
}
