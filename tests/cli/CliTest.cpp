// glimmerpick-cli as a user runs it: the built program against a server on 127.0.0.1.
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <string>

namespace
{

struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CliResult runCli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(GLIMMERPICK_BIN_DIR "/glimmerpick-cli"), args);
    CliResult r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "glimmerpick-cli did not end within two minutes";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

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
        { { "--resources", res, "-o", dir.path("no/such/folder/out.txt"), urls }, 2, "no folder" },
        { { "--resources", dir.path("nowhere"), urls }, 1, "nowhere/proxies.txt" },
        { { "--resources", dir.path("partial"), urls }, 1, "partial/referers.txt" },
        { { "--resources", res, empty }, 0, "" },
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
