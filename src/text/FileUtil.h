#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <stdexcept>

// How a text file was (or is to be) encoded. Ansi has no mark: on this platform it is UTF-8 when
// the bytes are valid UTF-8 and Windows-1252 otherwise (AnsiWindows1252).
enum class TextEncoding { Utf8Bom, Utf16LeBom, Utf16BeBom, AnsiUtf8, AnsiWindows1252 };

// The separator of the fields of a URL line and of the values in a match list text.
inline const QString FieldSeparator = QStringLiteral("||");
// A URL line holds at most URL, pattern and replacement.
constexpr int UrlLineFieldCount = 3;

// A file-level failure; what() names the file and the system's reason (UTF-8).
class FileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::AnsiUtf8;
};

// Decodes file bytes by their byte-order mark, or by the no-mark rule above. Never loses a byte
// in the no-mark case: every Windows-1252 byte, the five undefined ones included, has a character.
DecodedText decodeText(const QByteArray& bytes);

// Windows-1252 as the WHATWG encoding standard defines it (0x81, 0x8D, 0x8F, 0x90, 0x9D map to C1).
QString decodeWindows1252(const char* data, qsizetype size);

// Lines end at CR LF, LF or CR; LF CR ends two lines; a line end at the very end adds no line.
QStringList splitLines(QStringView text);

// Splits at every separator from left to right, each consumed whole; one at the very end adds no
// empty piece. A text without the separator is one piece.
QStringList splitFields(const QString& text, const QString& separator);

// The largest file read whole (URL lists, identity lists, the editor's files): input that never
// ends, such as /dev/zero, stops here instead of exhausting memory.
constexpr qint64 MaxTextFileBytes = qint64(2) << 30;

// A size for messages in the largest unit that divides it: "2 GiB", "4 KiB", "1000 bytes".
QString byteSizeText(qint64 bytes);

// Reads the whole file; throws FileError naming the file when it cannot be opened or read, when
// it holds more than maxBytes, or when memory runs out. Files without a size (devices, pipes) are
// read in chunks up to the cap.
QByteArray readFileBytes(const QString& path, qint64 maxBytes = MaxTextFileBytes);
DecodedText readTextFile(const QString& path);
QStringList LoadFileToStringList(const QString& path);

// Writes the bytes to the file. A regular file, or a new one, is replaced whole or not at all (a
// temporary beside it, renamed over it). A target that exists and is not a regular file (a device
// such as /dev/null, a FIFO, a Unix socket) is opened and written in place, never replaced, and a
// descriptor of this process (/dev/stdout, /dev/fd/N) is written at its own position. Throws
// FileError naming the file and the system's reason ("No space left on device", ...).
void writeFileWhole(const QString& path, const QByteArray& bytes);

// Asks beforehand whether writeFileWhole could write there, so long work is not thrown away at its
// end: a new or regular file needs a folder where a file can be created and removed (a probe), an
// existing file must be writable, a device must open for writing, a FIFO or socket must allow
// writing (neither is opened: a reader would see the probe). Throws FileError naming the file.
void checkWritableTarget(const QString& path);

// The text as the bytes of a file in the given encoding, with its byte-order mark if it has one.
// AnsiUtf8 is UTF-8 without a mark. AnsiWindows1252 must only be asked for a text that
// canEncodeWindows1252 accepts (anything else would be lost); it throws std::invalid_argument otherwise.
QByteArray encodeText(QStringView text, TextEncoding encoding);
// True when every character of the text has a Windows-1252 byte (the five C1 positions included).
bool canEncodeWindows1252(QStringView text);
