#include "text/EditorFile.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "support/TextBytes.h"

#include <gtest/gtest.h>

namespace
{

// Text that every encoding below can hold: non-ASCII letters, the euro sign, an empty line in the
// middle and an empty last line.
const QString sample = QString::fromUtf8("caf\u00e9 \u20ac\r\n\r\nhttp://x.example/||a(\\d+)||$1\r\n\r\n");

} // namespace

TEST(EditorFile, UneditedFilesSaveByteForByte)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        TextEncoding encoding;
    };
    const Case cases[] = {
        { "UTF-8 mark", "\xEF\xBB\xBF" + sample.toUtf8(), TextEncoding::Utf8Bom },
        { "UTF-16 LE mark", utf16WithMark(sample, true), TextEncoding::Utf16LeBom },
        { "UTF-16 BE mark", utf16WithMark(sample, false), TextEncoding::Utf16BeBom },
        { "UTF-8 without mark", sample.toUtf8(), TextEncoding::AnsiUtf8 },
        { "Windows-1252 without mark", "caf\xE9 \x80\r\n\r\n\x81\x8D\x8F\x90\x9D\xA0x\xFF\r\n",
            TextEncoding::AnsiWindows1252 },
        { "ASCII", "a\r\nb\r\n", TextEncoding::AnsiUtf8 },
        { "empty file", "", TextEncoding::AnsiUtf8 },
        { "only a mark", "\xEF\xBB\xBF", TextEncoding::Utf8Bom },
        { "one empty line", "\r\n", TextEncoding::AnsiUtf8 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EditorText loaded = editorTextFromBytes(c.bytes);
        EXPECT_EQ(loaded.encoding, c.encoding);
        const EditorFileBytes saved = editorFileBytes(loaded.text, loaded.encoding);
        EXPECT_EQ(saved.bytes.toHex(' '), c.bytes.toHex(' '));
        EXPECT_EQ(saved.encoding, c.encoding);
    }
}

TEST(EditorFile, TabsOnLoadTrailingBlanksAndLineEndsOnSave)
{
    struct Case {
        const char* name;
        QByteArray file;
        QString editorText;
        QByteArray saved;
    };
    const Case cases[] = {
        { "a tab becomes four blanks", "a\tb\r\n", "a    b\n", "a    b\r\n" },
        { "trailing blanks and tabs go", "abc  \t\r\n", "abc      \n", "abc\r\n" },
        { "control codes up to 32 go at the end only", "\x01 x\x01\x1F \r\n", "\x01 x\x01\x1F \n", "\x01 x\r\n" },
        { "a last line without a line end gets one", "a\r\nb", "a\nb\n", "a\r\nb\r\n" },
        { "LF and CR become CR LF", "a\nb\rc\n", "a\nb\nc\n", "a\r\nb\r\nc\r\n" },
        { "a line of blanks becomes empty", "   \r\nx\r\n", "   \nx\n", "\r\nx\r\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EditorText loaded = editorTextFromBytes(c.file);
        EXPECT_EQ(loaded.text, c.editorText);
        EXPECT_EQ(editorFileBytes(loaded.text, loaded.encoding).bytes, c.saved);
    }
    // Text typed without a final line end, or with lone CRs, ends every line with CR LF all the same.
    EXPECT_EQ(editorFileBytes(u"x \ny\r\rz", TextEncoding::AnsiUtf8).bytes, "x\r\ny\r\n\r\nz\r\n");
}

TEST(EditorFile, Windows1252TextThatNoLongerFitsGoesToUtf8WithAMark)
{
    const EditorText loaded = editorTextFromBytes("caf\xE9\r\n");
    ASSERT_EQ(loaded.encoding, TextEncoding::AnsiWindows1252);

    // Still representable (the euro sign is 0x80): stays Windows-1252.
    EditorFileBytes saved = editorFileBytes(loaded.text + QString::fromUtf8("\u20ac\n"), loaded.encoding);
    EXPECT_EQ(saved.encoding, TextEncoding::AnsiWindows1252);
    EXPECT_EQ(saved.bytes, "caf\xE9\r\n\x80\r\n");

    // A character Windows-1252 lacks: UTF-8 with its mark, nothing replaced.
    const QString added = loaded.text + QString::fromUtf8("\u0142\u00f3d\u017a \u2192\n");
    saved = editorFileBytes(added, loaded.encoding);
    EXPECT_EQ(saved.encoding, TextEncoding::Utf8Bom);
    EXPECT_EQ(
        saved.bytes, "\xEF\xBB\xBF" + QString::fromUtf8("caf\u00e9\r\n\u0142\u00f3d\u017a \u2192\r\n").toUtf8());

    // UTF-8 read without a mark stays without one, whatever it holds.
    saved = editorFileBytes(added, TextEncoding::AnsiUtf8);
    EXPECT_EQ(saved.encoding, TextEncoding::AnsiUtf8);
    EXPECT_FALSE(saved.bytes.startsWith("\xEF\xBB\xBF"));
}

TEST(EditorFile, SaveReplacesTheFileOrFailsNamingIt)
{
    TempDir dir;
    const QString path = dir.write("f.txt", "old\r\n");
    EXPECT_EQ(loadEditorFile(path).text, "old\n");
    EXPECT_EQ(saveEditorFile(path, u"new", TextEncoding::Utf16LeBom), TextEncoding::Utf16LeBom);
    EXPECT_EQ(dir.read("f.txt"), utf16WithMark("new\r\n", true));

    const QString missingFolder = dir.path("gone/f.txt");
    try {
        saveEditorFile(missingFolder, u"x", TextEncoding::AnsiUtf8);
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(
            QStringLiteral("Cannot create file \"%1\". ").arg(missingFolder)))
            << e.what();
    }
    EXPECT_THROW(loadEditorFile(missingFolder), FileError);
}
