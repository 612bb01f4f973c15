// Where a result goes: a regular file is replaced whole or not at all; anything else that already
// exists (a device, a FIFO, a socket, a descriptor of this process) is written through and kept.
#include "support/QtPrinters.h"
#include "support/TempDir.h"
#include "text/FileUtil.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

// The file type bits of path itself (not of a link's target), or 0 when it is missing.
mode_t fileType(const QString& path)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & S_IFMT;
}

QByteArray readAvailable(int fd)
{
    QByteArray out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, n);
    return out;
}

// A copy of a memory device (1,3 is null, 1,7 is full) in the folder; empty when not allowed (not root).
QString deviceNode(const TempDir& dir, const char* name, unsigned minor)
{
    const QString path = dir.path(QString::fromLatin1(name));
    if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, minor)) != 0)
        return QString();
    return path;
}

// A small tmpfs mounted for one test and unmounted after it; mounted() is false when not allowed.
class SmallTmpfs
{
public:
    SmallTmpfs(const QString& at, const char* options) : m_at(QFile::encodeName(at))
    {
        QDir().mkpath(at);
        m_mounted = ::mount("tmpfs", m_at.constData(), "tmpfs", 0, options) == 0;
    }
    ~SmallTmpfs()
    {
        if (m_mounted)
            ::umount(m_at.constData());
    }
    bool mounted() const { return m_mounted; }
    bool remountReadOnly()
    {
        return ::mount("tmpfs", m_at.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QByteArray m_at;
    bool m_mounted = false;
};

std::string errorText(const std::function<void()>& action)
{
    try {
        action();
    } catch (const FileError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(WriteTarget, FifoSocketAndDeviceAreWrittenThroughAndKept)
{
    TempDir dir;
    const QByteArray bytes = "a\r\nb\r\n";

    // A FIFO with its reader: the bytes reach the reader and the FIFO stays.
    const QString fifo = dir.path(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0) << std::strerror(errno);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0) << std::strerror(errno);
    writeFileWhole(fifo, bytes);
    EXPECT_EQ(readAvailable(reader), bytes);
    ::close(reader);
    EXPECT_EQ(fileType(fifo), S_IFIFO);

    // A listening Unix socket: the bytes come in over one connection and the socket stays.
    const QString socketPath = dir.path(QStringLiteral("sock"));
    // Not blocking: when no connection came, accept fails instead of waiting for ever.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
    ASSERT_EQ(::listen(listener, 1), 0);
    writeFileWhole(socketPath, bytes);
    const int accepted = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(accepted, 0) << std::strerror(errno);
    EXPECT_EQ(readAvailable(accepted), bytes);
    ::close(accepted);
    ::close(listener);
    EXPECT_EQ(fileType(socketPath), S_IFSOCK);

    // A descriptor of this process (/dev/fd/N, as /dev/stdout is /dev/fd/1): written at its own
    // position, so a file opened for appending keeps what it held.
    const QString log = dir.write(QStringLiteral("log.txt"), "old\n");
    const int appending = ::open(QFile::encodeName(log).constData(), O_WRONLY | O_APPEND);
    ASSERT_GE(appending, 0);
    writeFileWhole(QStringLiteral("/dev/fd/%1").arg(appending), "new\n");
    ::close(appending);
    EXPECT_EQ(dir.read(QStringLiteral("log.txt")), "old\nnew\n");

    // A device, as -o /dev/null: never replaced by a file.
    const QString null = deviceNode(dir, "null", 3);
    if (null.isEmpty())
        GTEST_SKIP() << "mknod needs root; the FIFO, socket and descriptor passed";
    writeFileWhole(null, bytes);
    EXPECT_EQ(fileType(null), S_IFCHR);
}

TEST(WriteTarget, FullDeviceAndFullDiskSayNoSpaceLeftOnDevice)
{
    TempDir dir;
    // As root a copy of /dev/full, so the real one is never at stake; otherwise the real one.
    QString full = deviceNode(dir, "full", 7);
    if (full.isEmpty())
        full = QStringLiteral("/dev/full");
    EXPECT_EQ(errorText([&] { writeFileWhole(full, "x\n"); }),
        QStringLiteral("Cannot write file \"%1\". No space left on device").arg(full).toStdString());
    EXPECT_EQ(fileType(full), S_IFCHR);

    SmallTmpfs disk(dir.path(QStringLiteral("disk")), "size=64k");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root; the full device passed";
    const QString kept = dir.write(QStringLiteral("disk/kept.txt"), "previous\n");
    const std::string error = errorText([&] { writeFileWhole(kept, QByteArray(1 << 20, 'x')); });
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_NE(error.find(kept.toStdString()), std::string::npos) << error;
    // Whole or nothing: the previous file as it was, no temporary left beside it.
    EXPECT_EQ(dir.read(QStringLiteral("disk/kept.txt")), "previous\n");
    EXPECT_EQ(QDir(dir.path(QStringLiteral("disk"))).entryList(QDir::Files | QDir::Hidden),
        QStringList { QStringLiteral("kept.txt") });
}

TEST(WriteTarget, CheckedBeforehandWithoutLeavingAnything)
{
    TempDir dir;
    const QString folder = dir.dir().path();
    const QString existing = dir.write(QStringLiteral("existing.txt"), "keep\n");
    const QString fifo = dir.path(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QString path;
        QString error;
    } cases[] = {
        { existing, {} },
        { dir.path(QStringLiteral("new.txt")), {} },
        // Not opened: a probe would hand the FIFO's reader an end of file.
        { fifo, {} },
        { QStringLiteral("/dev/fd/2"), {} },
        { folder, QStringLiteral("Cannot write file \"%1\". Is a directory").arg(folder) },
        { dir.path(QStringLiteral("no/such/out.txt")),
            QStringLiteral("Cannot write file \"%1\". No folder \"%2\"")
                .arg(dir.path(QStringLiteral("no/such/out.txt")), dir.path(QStringLiteral("no/such"))) },
        { QStringLiteral("/dev/fd/987"),
            QStringLiteral("Cannot write file \"/dev/fd/987\". Bad file descriptor") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(errorText([&] { checkWritableTarget(c.path); }),
            c.error.isEmpty() ? "(no error)" : c.error.toStdString());
    }
    EXPECT_EQ(dir.read(QStringLiteral("existing.txt")), "keep\n");
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
        (QStringList { QStringLiteral("existing.txt"), QStringLiteral("fifo") }));

    // A read-only file system refuses even root, before anything is written.
    SmallTmpfs disk(dir.path(QStringLiteral("ro")), "size=64k");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    const QString inside = dir.write(QStringLiteral("ro/inside.txt"), "x");
    ASSERT_TRUE(disk.remountReadOnly()) << std::strerror(errno);
    for (const QString& path : { inside, dir.path(QStringLiteral("ro/new.txt")) }) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(errorText([&] { checkWritableTarget(path); }),
            QStringLiteral("Cannot write file \"%1\". Read-only file system").arg(path).toStdString());
    }
}
