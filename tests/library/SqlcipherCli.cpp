#include "SqlcipherCli.h"

#include <QProcess>
#include <QStringList>

#include <stdexcept>

QString SqlcipherCli::libraryKeying()
{
    return QStringLiteral("PRAGMA key = 'Hb3nQvTz8KdWm2R';\nPRAGMA cipher = 'aes-128-cbc';\n");
}

SqlcipherCli::Result SqlcipherCli::run(const QString& file, const QString& script, const QString& keying)
{
    QProcess p;
    p.start(QStringLiteral("sqlcipher"), { QStringLiteral("-batch"), QStringLiteral("-bail"), file });
    if (!p.waitForStarted(10000))
        throw std::runtime_error(
            "the sqlcipher command-line tool does not start (scripts/install-deps.sh installs it)");
    p.write((keying + script).toUtf8());
    p.closeWriteChannel();
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished(5000);
        throw std::runtime_error("sqlcipher did not finish");
    }
    Result r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
    lines.removeIf(
        [](const QString& l) { return l.startsWith(QLatin1String("PRAGMA cipher command is deprecated")); });
    r.out = lines.join(u'\n');
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString SqlcipherCli::exec(const QString& file, const QString& script, const QString& keying)
{
    const Result r = run(file, script, keying);
    if (r.exitCode != 0)
        throw std::runtime_error("sqlcipher failed on " + file.toStdString() + ": " + r.err.toStdString());
    return r.out;
}
