#pragma once

#include <QString>

// The sqlcipher command-line tool, run on one file: makes fixtures and reads back what the program wrote,
// independently of the program's own code.
class SqlcipherCli
{
public:
    // What the library file is keyed with, spelled out here on purpose rather than taken from the program.
    static QString libraryKeying();

    struct Result {
        int exitCode = -1;
        QString out; // without SQLCipher's deprecation notice for PRAGMA cipher
        QString err;
    };

    // Runs the script (keying first) on file; throws std::runtime_error when the tool does not run.
    static Result run(const QString& file, const QString& script, const QString& keying = libraryKeying());
    // Same, but a failing script throws, naming the tool's error text.
    static QString exec(const QString& file, const QString& script, const QString& keying = libraryKeying());
};
