#pragma once

#include <QByteArray>
#include <QStringList>

#include <cstdint>

// glimmerpick-cli run as a user runs it, in a process of its own.
struct CliResult {
    // The exit status, or -1 when the process was killed by a signal or did not end.
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

struct CliLimits {
    // Runs as the user nobody (setpriv), for refusals root would never meet.
    bool asNobody = false;
    // The child's address-space limit in bytes (0: none), so a program that reads without end
    // fails in its own process instead of taking the machine's memory.
    std::uint64_t addressSpace = 0;
};

QString cliProgram();
CliResult runCli(const QStringList& args, const CliLimits& limits = {});
