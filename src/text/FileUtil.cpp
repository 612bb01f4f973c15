#include "text/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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

// The system's text for an errno value ("No space left on device"), safe on any thread.
QString systemReason(int error)
{
    return QString::fromStdString(std::error_code(error, std::generic_category()).message());
}

QString outOfMemoryReason()
{
    return QStringLiteral("Not enough memory for a file of this size");
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

QString byteSizeText(qint64 bytes)
{
    static const char* const units[] = { "bytes", "KiB", "MiB", "GiB", "TiB" };
    int unit = 0;
    while (unit < 4 && bytes >= 1024 && bytes % 1024 == 0) {
        bytes /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(bytes).arg(QLatin1String(units[unit]));
}

namespace
{

// How much a file without a size (a device, a pipe) is read at a time.
constexpr qint64 ReadChunkBytes = qint64(1) << 20;

} // namespace

QByteArray readFileBytes(const QString& path, qint64 maxBytes)
{
    if (QFileInfo(path).isDir())
        throwFileError("open", path, QStringLiteral("Is a directory"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throwFileError("open", path, file.errorString());
    const auto tooLarge = [&] {
        throwFileError("read", path, QStringLiteral("The file is larger than %1").arg(byteSizeText(maxBytes)));
    };
    const auto readFailed = [&] { throwFileError("read", path, file.errorString()); };
    try {
        // A regular file says its size: one buffer of that size, refused before reading when too large.
        // Anything else grows in chunks, never past the cap.
        const qint64 expected = file.isSequential() ? 0 : file.size();
        if (expected > maxBytes)
            tooLarge();
        QByteArray bytes;
        bytes.reserve(expected > 0 ? expected : std::min(ReadChunkBytes, maxBytes));
        for (;;) {
            const qsizetype have = bytes.size();
            if (have == bytes.capacity() || have >= maxBytes) {
                // Full: one byte tells whether there is more before the buffer grows (a regular file
                // ends here, without a larger buffer made just to find its end).
                char more = 0;
                const qint64 got = file.read(&more, 1);
                if (got < 0)
                    readFailed();
                if (got == 0)
                    return bytes;
                if (have >= maxBytes)
                    tooLarge();
                bytes.reserve(std::min(maxBytes, std::max(qint64(have) * 2, ReadChunkBytes)));
                bytes.append(more);
                continue;
            }
            const qsizetype room = std::min(qsizetype(maxBytes), bytes.capacity()) - have;
            bytes.resize(have + room);
            const qint64 got = file.read(bytes.data() + have, room);
            if (got < 0)
                readFailed();
            bytes.resize(have + got);
            if (got == 0)
                return bytes;
        }
    } catch (const std::bad_alloc&) {
        throwFileError("read", path, outOfMemoryReason());
    }
}

DecodedText readTextFile(const QString& path)
{
    QByteArray bytes = readFileBytes(path);
    try {
        return decodeText(bytes);
    } catch (const std::bad_alloc&) {
        bytes = QByteArray();
        throwFileError("read", path, outOfMemoryReason());
    }
}

namespace
{

QStringList splitFileLines(const QByteArray& bytes)
{
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

} // namespace

QStringList LoadFileToStringList(const QString& path)
{
    QByteArray bytes = readFileBytes(path);
    try {
        return splitFileLines(bytes);
    } catch (const std::bad_alloc&) {
        bytes = QByteArray();
        throwFileError("read", path, outOfMemoryReason());
    }
}

namespace
{

// The descriptor of this process that path names (/dev/stdout, /dev/fd/N, /proc/self/fd/N), or -1.
int ownDescriptor(const QString& path)
{
    const QString ownFolder = QStringLiteral("/proc/%1/fd").arg(::getpid());
    QFileInfo link(path);
    for (int depth = 0; depth < 40; ++depth) {
        if (QDir(link.absolutePath()).canonicalPath() == ownFolder) {
            bool ok = false;
            const int fd = link.fileName().toInt(&ok, 10);
            return ok && fd >= 0 ? fd : -1;
        }
        if (!link.isSymLink())
            return -1;
        link.setFile(link.symLinkTarget());
    }
    return -1;
}

// The file a link leads to, as QSaveFile follows it (also to a target that does not exist yet).
QString finalFileName(const QString& path)
{
    QFileInfo link(path);
    for (int depth = 0; depth < 40 && link.isSymLink(); ++depth)
        link.setFile(link.symLinkTarget());
    return link.absoluteFilePath();
}

// Writes all of bytes; 0, or the errno of the failure.
int writeAllTo(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(std::min(left, qsizetype(1) << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        p += n;
        left -= n;
    }
    return 0;
}

// Opens an existing target that is not a regular file for writing in place: a device or FIFO as a
// file, a Unix socket by connecting to it. -1 with errno on failure.
int openInPlace(const QByteArray& name, const struct stat& st)
{
    if (S_ISSOCK(st.st_mode)) {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (size_t(name.size()) >= sizeof address.sun_path) {
            errno = ENAMETOOLONG;
            return -1;
        }
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return -1;
        }
        return fd;
    }
    int fd = -1;
    do
        fd = ::open(name.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

void writeFileWhole(const QString& path, const QByteArray& bytes)
{
    if (const int fd = ownDescriptor(path); fd >= 0) {
        if (const int error = writeAllTo(fd, bytes))
            throwFileError("write", path, systemReason(error));
        return;
    }
    // Renaming a temporary over a device or a FIFO would replace it (as root even /dev/null): those
    // are written where they are.
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        const int fd = openInPlace(name, st);
        if (fd < 0)
            throwFileError("open", path, systemReason(errno));
        int error = writeAllTo(fd, bytes);
        if (::close(fd) != 0 && error == 0 && errno != EINTR)
            error = errno;
        if (error != 0)
            throwFileError("write", path, systemReason(error));
        return;
    }

    // A regular file: written to a temporary beside it and renamed over it, so a failure leaves no
    // partial file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throwFileError("create", path, file.errorString());
    // A short write carries no error of its own (Qt sets none when some bytes went out): writing the
    // rest gets the system's reason, such as "No space left on device".
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            throwFileError("write", path, reason);
        }
        done += n;
    }
    if (!file.commit())
        throwFileError("write", path, file.errorString());
}

namespace
{

// Creates and removes a file in the folder, as the temporary of a whole-file write would be.
// Empty when that works, else the reason.
QString folderRefusal(const QString& folder)
{
    const QByteArray name = QFile::encodeName(folder);
    struct stat st = {};
    if (::stat(name.constData(), &st) != 0)
        return errno == ENOENT ? QStringLiteral("No folder \"%1\"").arg(folder) : systemReason(errno);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("\"%1\" is not a folder").arg(folder);
    QByteArray probe = name + "/.glimmerpick-probe-XXXXXX";
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0)
        return systemReason(errno);
    ::close(fd);
    ::unlink(probe.constData());
    return QString();
}

QString writeRefusal(const QString& path)
{
    if (const int fd = ownDescriptor(path); fd >= 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0)
            return systemReason(errno);
        return (flags & O_ACCMODE) == O_RDONLY ? QStringLiteral("Not open for writing") : QString();
    }
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::stat(name.constData(), &st) != 0) {
        if (errno != ENOENT)
            return systemReason(errno);
        return folderRefusal(QFileInfo(finalFileName(path)).absolutePath());
    }
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("Is a directory");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return systemReason(errno);
        ::close(fd);
        return QString();
    }
    if (::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0)
        return systemReason(errno);
    if (S_ISREG(st.st_mode))
        return folderRefusal(QFileInfo(finalFileName(path)).absolutePath());
    return QString();
}

} // namespace

void checkWritableTarget(const QString& path)
{
    if (const QString reason = writeRefusal(path); !reason.isEmpty())
        throwFileError("write", path, reason);
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
