#include "CliProcess.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <sys/resource.h>

QString cliProgram()
{
    return QStringLiteral(GLIMMERPICK_BIN_DIR "/glimmerpick-cli");
}

CliResult runCli(const QStringList& args, const CliLimits& limits)
{
    QProcess p;
    if (limits.addressSpace > 0) {
        const rlim_t bytes = limits.addressSpace;
        p.setChildProcessModifier([bytes] {
            const rlimit limit { bytes, bytes };
            ::setrlimit(RLIMIT_AS, &limit);
        });
    }
    if (limits.asNobody)
        p.start(QStringLiteral("setpriv"),
            QStringList { "--reuid=nobody", "--regid=nogroup", "--clear-groups", cliProgram() } + args);
    else
        p.start(cliProgram(), args);
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
