#include "text/FileUtil.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace
{

QString fileErrorText(const char* what, const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot %1 file \"%2\". %3").arg(QString::fromLatin1(what), path, reason);
}

[[noreturn]] void throwFileError(const char* what, const QString& path, const QString& reason)
{
    throw FileError(fileErrorText(what, path, reason).toStdString());
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes, bool* hadError = nullptr)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString out = decoder.decode(bytes);
    if (hadError)
        *hadError = decoder.hasError();
    return out;
}

struct ByteOrderMark {
    TextEncoding encoding;
    QStringConverter::Encoding converter;
    qsizetype length;
};

// The mark at the start of bytes, tried as UTF-8, UTF-16 LE, UTF-16 BE.
std::optional<ByteOrderMark> byteOrderMark(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return ByteOrderMark { TextEncoding::Utf8Bom, QStringConverter::Utf8, 3 };
    if (bytes.startsWith("\xFF\xFE"))
        return ByteOrderMark { TextEncoding::Utf16LeBom, QStringConverter::Utf16LE, 2 };
    if (bytes.startsWith("\xFE\xFF"))
        return ByteOrderMark { TextEncoding::Utf16BeBom, QStringConverter::Utf16BE, 2 };
    return std::nullopt;
}

// Calls line(start, length) for every line: lines end at CR LF, LF or CR, LF CR ends two lines,
// and a line end at the very end adds no line. One walk for decoded text and for raw bytes.
template <typename Char, typename LineFn> void forEachLine(const Char* data, qsizetype n, LineFn line)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const Char c = data[i];
        if (c != Char('\n') && c != Char('\r'))
            continue;
        line(start, i - start);
        if (c == Char('\r') && i + 1 < n && data[i + 1] == Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        line(start, n - start);
}

} // namespace

namespace
{

// 0x80..0x9F; the undefined positions keep their C1 control code point.
constexpr char16_t Windows1252High[32] = { 0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6,
    0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013,
    0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178 };

// The Windows-1252 byte of a character, or -1 when it has none.
int windows1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (Windows1252High[i] == c)
            return 0x80 + i;
    return -1;
}

} // namespace

QString decodeWindows1252(const char* data, qsizetype size)
{
    const char16_t* high = Windows1252High;
    QString out(size, Qt::Uninitialized);
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        dst[i] = (b >= 0x80 && b < 0xA0) ? high[b - 0x80] : char16_t(b);
    }
    return out;
}

DecodedText decodeText(const QByteArray& bytes)
{
    if (const auto mark = byteOrderMark(bytes))
        return { decodeWith(mark->converter, QByteArrayView(bytes).sliced(mark->length)), mark->encoding };

    bool invalid = false;
    QString text = decodeWith(QStringConverter::Utf8, bytes, &invalid);
    if (!invalid)
        return { std::move(text), TextEncoding::AnsiUtf8 };
    return { decodeWindows1252(bytes.constData(), bytes.size()), TextEncoding::AnsiWindows1252 };
}

QStringList splitLines(QStringView text)
{
    QStringList lines;
    forEachLine(text.utf16(), text.size(),
        [&](qsizetype start, qsizetype length) { lines.append(text.sliced(start, length).toString()); });
    return lines;
}

QStringList splitFields(const QString& text, const QString& separator)
{
    if (separator.isEmpty())
        return { text };
    QStringList fields = text.split(separator, Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (fields.size() > 1 && text.endsWith(separator))
        fields.removeLast();
    return fields;
}

QByteArray readFileBytes(const QString& path)
{
    if (QFileInfo(path).isDir())
        throwFileError("open", path, QStringLiteral("Is a directory"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throwFileError("open", path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throwFileError("read", path, file.errorString());
    return bytes;
}

DecodedText readTextFile(const QString& path)
{
    return decodeText(readFileBytes(path));
}

QStringList LoadFileToStringList(const QString& path)
{
    const QByteArray bytes = readFileBytes(path);
    if (byteOrderMark(bytes))
        return splitLines(decodeText(bytes).text);

    // No mark: split the bytes first and decode line by line, so a large file never exists as one
    // decoded text beside its lines. CR and LF never occur inside a UTF-8 sequence, so a stateful
    // decoder over the line slices sees exactly the bytes a whole-file decode would.
    QStringList lines;
    QStringDecoder utf8(QStringConverter::Utf8);
    const char* data = bytes.constData();
    forEachLine(data, bytes.size(), [&](qsizetype start, qsizetype length) {
        lines.append(utf8.decode(QByteArrayView(data + start, length)));
    });
    if (utf8.hasError())
        return splitLines(decodeWindows1252(data, bytes.size()));
    return lines;
}

void writeFileWhole(const QString& path, const QByteArray& bytes)
{
    // Written to a temporary beside the target and renamed over it, so a failure leaves no partial file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throwFileError("create", path, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throwFileError("write", path, reason);
    }
    if (!file.commit())
        throwFileError("write", path, file.errorString());
}

bool canEncodeWindows1252(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return windows1252Byte(c.unicode()) >= 0; });
}

QByteArray encodeText(QStringView text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case TextEncoding::AnsiUtf8:
        return text.toUtf8();
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom: {
        const bool le = encoding == TextEncoding::Utf16LeBom;
        QStringEncoder encoder(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        return QByteArray(le ? "\xFF\xFE" : "\xFE\xFF") + QByteArray(encoder.encode(text));
    }
    case TextEncoding::AnsiWindows1252: {
        QByteArray out(text.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const int b = windows1252Byte(text[i].unicode());
            if (b < 0)
                throw std::invalid_argument("text has a character that Windows-1252 cannot hold");
            out[i] = char(b);
        }
        return out;
    }
    }
    return text.toUtf8();
}
