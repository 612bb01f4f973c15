#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "text/FileUtil.h"

#include <gtest/gtest.h>

namespace
{

struct LineCase {
    const char* name;
    QByteArray bytes;
    QStringList lines;
    TextEncoding encoding;
};

QByteArray utf16(const QString& s, bool littleEndian, bool bom)
{
    QByteArray out;
    if (bom)
        out += littleEndian ? QByteArray("\xFF\xFE", 2) : QByteArray("\xFE\xFF", 2);
    for (QChar c : s) {
        const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
        out.append(littleEndian ? lo : hi);
        out.append(littleEndian ? hi : lo);
    }
    return out;
}

const QString umlauts = QString::fromUtf8("caf\u00e9 \u00fc\u20ac");

} // namespace

TEST(TextFile, EncodingAndLineRules)
{
    const LineCase cases[] = {
        { "empty file", "", {}, TextEncoding::AnsiUtf8 },
        { "only a UTF-8 mark", "\xEF\xBB\xBF", {}, TextEncoding::Utf8Bom },
        { "only a UTF-16 LE mark", QByteArray("\xFF\xFE", 2), {}, TextEncoding::Utf16LeBom },
        { "CR LF lines", "a\r\nb\r\n", { "a", "b" }, TextEncoding::AnsiUtf8 },
        { "no final line end", "a\r\nb", { "a", "b" }, TextEncoding::AnsiUtf8 },
        { "empty middle line", "a\r\n\r\nb", { "a", "", "b" }, TextEncoding::AnsiUtf8 },
        { "lone LF and lone CR", "a\nb\rc", { "a", "b", "c" }, TextEncoding::AnsiUtf8 },
        { "LF CR ends two lines", "a\n\rb", { "a", "", "b" }, TextEncoding::AnsiUtf8 },
        { "CR CR LF", "a\r\r\nb", { "a", "", "b" }, TextEncoding::AnsiUtf8 },
        { "a lone line end", "\n", { "" }, TextEncoding::AnsiUtf8 },
        { "blanks kept", "  a  \t\r\n", { "  a  \t" }, TextEncoding::AnsiUtf8 },
        { "UTF-8 mark", "\xEF\xBB\xBF" + umlauts.toUtf8() + "\r\nx", { umlauts, "x" }, TextEncoding::Utf8Bom },
        { "UTF-8 without mark", umlauts.toUtf8() + "\n", { umlauts }, TextEncoding::AnsiUtf8 },
        { "UTF-16 LE mark", utf16(umlauts + "\r\nx\r\n", true, true), { umlauts, "x" }, TextEncoding::Utf16LeBom },
        { "UTF-16 BE mark", utf16(umlauts + "\nx", false, true), { umlauts, "x" }, TextEncoding::Utf16BeBom },
        { "invalid UTF-8 falls back to Windows-1252", "caf\xE9 \x80\r\n\x9C",
            { QString::fromUtf8("caf\u00e9 \u20ac"), QString::fromUtf8("\u0153") },
            TextEncoding::AnsiWindows1252 },
        { "undefined Windows-1252 bytes keep their C1 code", "\x81\x8D\x8F\x90\x9D\xFF",
            { QString::fromUtf8("\u0081\u008d\u008f\u0090\u009d\u00ff") }, TextEncoding::AnsiWindows1252 },
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString p = dir.write(QStringLiteral("f.txt"), c.bytes);
        const DecodedText decoded = readTextFile(p);
        EXPECT_EQ(decoded.encoding, c.encoding);
        EXPECT_EQ(LoadFileToStringList(p), c.lines);
    }
}

TEST(TextFile, Utf16AndUtf8WithMarksGiveTheSameLines)
{
    TempDir dir;
    const QString text = QStringLiteral("http://a.example/||x(\\d+)||$1\r\nhttp://b.example/") + umlauts;
    const auto a = LoadFileToStringList(dir.write("a.txt", "\xEF\xBB\xBF" + text.toUtf8()));
    const auto b = LoadFileToStringList(dir.write("b.txt", utf16(text, true, true)));
    const auto c = LoadFileToStringList(dir.write("c.txt", utf16(text, false, true)));
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
    EXPECT_EQ(a.size(), 2);
}

TEST(TextFile, UnopenableFileNamesTheFileAndTheReason)
{
    TempDir dir;
    const QString missing = dir.path(QStringLiteral("missing.txt"));
    try {
        LoadFileToStringList(missing);
        FAIL() << "no error";
    } catch (const FileError& e) {
        const QString msg = QString::fromUtf8(e.what());
        EXPECT_TRUE(msg.contains(missing)) << e.what();
        EXPECT_TRUE(msg.contains(QStringLiteral("No such file"))) << e.what();
    }
    EXPECT_THROW(LoadFileToStringList(dir.dir().path()), FileError);
}

TEST(FieldSplitting, SeparatorRules)
{
    const struct {
        const char* line;
        QStringList fields;
    } cases[] = {
        { "a||b||c", { "a", "b", "c" } },
        { "a||||b", { "a", "", "b" } },
        { "a|||b", { "a", "|b" } },
        { "u||", { "u" } },
        { "||", { "" } },
        { "abc", { "abc" } },
        { "", { "" } },
        { " a || b ", { " a ", " b " } },
        { "a||b||", { "a", "b" } },
        { "a||||", { "a", "" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(splitFields(QString::fromUtf8(c.line), QStringLiteral("||")), c.fields);
    }
}

TEST(TextFile, ReadingStopsAtTheCapWithAnErrorNamingTheFile)
{
    // A small cap stands in for the real one: the same read, without gigabytes in the test.
    TempDir dir;
    const QString atCap = dir.write(QStringLiteral("at-cap.txt"), QByteArray(4096, 'a'));
    EXPECT_EQ(readFileBytes(atCap, 4096).size(), 4096);
    const QString overCap = dir.write(QStringLiteral("over-cap.txt"), QByteArray(4097, 'a'));
    // /dev/zero never ends and has no size: it is read in chunks until the cap.
    for (const QString& path : { overCap, QStringLiteral("/dev/zero") }) {
        SCOPED_TRACE(path.toStdString());
        try {
            readFileBytes(path, 4096);
            ADD_FAILURE() << "no error";
        } catch (const FileError& e) {
            EXPECT_EQ(QString::fromUtf8(e.what()),
                QStringLiteral("Cannot read file \"%1\". The file is larger than 4 KiB").arg(path));
        }
    }
    EXPECT_EQ(byteSizeText(MaxTextFileBytes), QStringLiteral("2 GiB"));
}
