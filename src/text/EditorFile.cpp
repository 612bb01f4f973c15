#include "text/EditorFile.h"

#include <QStringList>

namespace
{

QStringView withoutTrailingBlanks(QStringView line)
{
    qsizetype end = line.size();
    while (end > 0 && line[end - 1].unicode() <= 32)
        --end;
    return line.first(end);
}

} // namespace

EditorText editorTextFromBytes(const QByteArray& bytes)
{
    DecodedText decoded = decodeText(bytes);
    const QString blanks(EditorTabWidth, u' ');
    QString text;
    text.reserve(decoded.text.size() + 1);
    for (const QString& line : splitLines(decoded.text)) {
        text += QString(line).replace(u'\t', blanks);
        text += u'\n';
    }
    return { std::move(text), decoded.encoding };
}

EditorText loadEditorFile(const QString& path)
{
    return editorTextFromBytes(readFileBytes(path));
}

EditorFileBytes editorFileBytes(QStringView text, TextEncoding remembered)
{
    QString out;
    out.reserve(text.size() + 16);
    for (const QString& line : splitLines(text)) {
        out += withoutTrailingBlanks(line);
        out += QStringLiteral("\r\n");
    }
    TextEncoding encoding = remembered;
    if (encoding == TextEncoding::AnsiWindows1252 && !canEncodeWindows1252(out))
        encoding = TextEncoding::Utf8Bom;
    return { encodeText(out, encoding), encoding };
}

TextEncoding saveEditorFile(const QString& path, QStringView text, TextEncoding remembered)
{
    EditorFileBytes file = editorFileBytes(text, remembered);
    writeFileWhole(path, file.bytes);
    return file.encoding;
}
