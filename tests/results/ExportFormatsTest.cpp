// The exports that keep each match with its row, read back by readers that are not ours: Python's
// csv module for CSV, Qt's JSON parser for JSON Lines.
#include "results/ResultsExport.h"
#include "results/StringGridUtil.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace
{

const QStringList TrickyValues = { "plain", "a,b", "say \"hi\", ok", "\"", "cr\rinside", "lf\ninside", "crlf\r\nx",
    "\r\n", "p||q", "||", "|", "", " padded ", "\U0001F600 \u00e9\u4e2d\U00010348", "=1+2" };
const QString OddUrl = QStringLiteral("http://c/?q=1,2&s=\"x\"");

// Row numbers 3, 6, ... as a shard's rows have them. Row 3: every tricky value, kept beside its
// text as a run keeps them; 6: a failed fetch; 9: two values in the text alone; 12: a page without
// matches; 15: never run.
void fillFixture(ResultsModel& m)
{
    m.setRowCount(5);
    m.setRowNumbers({ 3, 6, 9, 12, 15 });
    const char* const urls[] = { "http://a/", "http://b/", "", "http://d/", "http://e/" };
    for (int r = 0; r < 5; ++r)
        m.setCell(r, ColumnUrl, QString::fromUtf8(urls[r]));
    m.setCell(2, ColumnUrl, OddUrl);
    m.setCell(0, ColumnMatchesNumber, QString::number(TrickyValues.size()));
    m.setCell(0, ColumnMatches, TrickyValues.join("||") + "||");
    m.setMatchValuesQuietly(0, TrickyValues);
    m.setCell(1, ColumnMatchesNumber, QStringLiteral("0"));
    m.setOutcome(1, QStringLiteral("HTTP 404"));
    m.setCell(2, ColumnMatchesNumber, QStringLiteral("2"));
    m.setCell(2, ColumnMatches, QStringLiteral("a||b||"));
    m.setCell(3, ColumnMatchesNumber, QStringLiteral("0"));
}

// The CSV file's records as Python's csv module reads them (strict: bad quoting is an error).
QList<QStringList> readWithPython(const QString& csvPath, const TempDir& dir)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) {
        ADD_FAILURE() << "python3 not found: the CSV reader of this test";
        return {};
    }
    const QString script = dir.write(QStringLiteral("read.py"),
        "import csv, json, sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
        "    json.dump(list(csv.reader(f, strict=True)), sys.stdout)\n");
    QProcess p;
    p.start(python, { script, csvPath });
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "python3 did not end";
        return {};
    }
    const QByteArray err = p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << err.toStdString();
    QList<QStringList> records;
    for (const QJsonValue& record : doc.array()) {
        QStringList fields;
        for (const QJsonValue& field : record.toArray())
            fields.append(field.toString());
        records.append(fields);
    }
    return records;
}

} // namespace

TEST(ExportCsv, EveryMatchReadsBackExactlyWithItsRowAndUrl)
{
    ResultsModel m;
    fillFixture(m);
    TempDir dir;
    const QString path = dir.path(QStringLiteral("out.csv"));
    ExportResultsToFile(m, path, ExportFormat::Csv);
    const QByteArray bytes = dir.read(QStringLiteral("out.csv"));
    EXPECT_EQ(bytes, exportCsv(m));

    QList<QStringList> expected = { { "row", "url", "match" } };
    for (const QString& v : TrickyValues)
        expected.append({ "3", "http://a/", v });
    expected.append({ "9", OddUrl, "a" });
    expected.append({ "9", OddUrl, "b" });
    EXPECT_EQ(readWithPython(path, dir), expected);

    // Quoted only where needed, quotes doubled, CR LF after every record, no byte-order mark.
    EXPECT_TRUE(bytes.startsWith("row,url,match\r\n3,http://a/,plain\r\n3,http://a/,\"a,b\"\r\n"))
        << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("\r\n3,http://a/,\"say \"\"hi\"\", ok\"\r\n")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("\r\n3,http://a/,\"lf\ninside\"\r\n3,http://a/,\"crlf\r\nx\"\r\n"))
        << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("\r\n3,http://a/,\r\n3,http://a/, padded \r\n")) << bytes.toStdString();
    EXPECT_TRUE(
        bytes.endsWith("\r\n9,\"http://c/?q=1,2&s=\"\"x\"\"\",a\r\n9,\"http://c/?q=1,2&s=\"\"x\"\"\",b\r\n"))
        << bytes.toStdString();

    EXPECT_EQ(exportCsv(ResultsModel()), QByteArray("row,url,match\r\n"));
}

TEST(ExportJsonLines, OneObjectPerRowWithItsMatchesAndOutcome)
{
    ResultsModel m;
    fillFixture(m);
    const QByteArray bytes = exportJsonLines(m);
    ASSERT_TRUE(bytes.endsWith('\n'));
    const QList<QByteArray> lines = bytes.chopped(1).split('\n');

    const auto row = [](int number, const QString& url, const QStringList& matches, const QString& outcome) {
        return QJsonObject { { "row", number }, { "url", url }, { "count", int(matches.size()) },
            { "matches", QJsonArray::fromStringList(matches) }, { "outcome", outcome } };
    };
    const QJsonObject expected[] = {
        row(3, "http://a/", TrickyValues, ""),
        row(6, "http://b/", {}, "HTTP 404"),
        row(9, OddUrl, { "a", "b" }, ""),
        row(12, "http://d/", {}, ""),
        row(15, "http://e/", {}, notRunOutcome()),
    };
    ASSERT_EQ(lines.size(), std::size(expected)) << bytes.toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i].toStdString());
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(lines[i], &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        EXPECT_EQ(doc.object(), expected[i]);
    }
    EXPECT_TRUE(exportJsonLines(ResultsModel()).isEmpty());
}
