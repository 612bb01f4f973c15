// glimmerpick_makedb SQL_FILE DB_FILE: runs the SQL in a new database keyed like the program's regex
// library, reads it back, and only then puts it in place of DB_FILE, so a failed build never leaves a
// half-made or unreadable library behind.
#include "library/LibraryCipher.h"

#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <strings.h>

namespace
{

struct Db {
    sqlite3* handle = nullptr;
    std::string path;

    Db(const std::string& file, int flags) : path(file)
    {
        if (sqlite3_open_v2(file.c_str(), &handle, flags, nullptr) != SQLITE_OK)
            fail("cannot open it");
        exec(LibraryCipher::KeyPragma);
        exec(LibraryCipher::CipherPragma);
    }
    ~Db() { sqlite3_close(handle); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    [[noreturn]] void fail(const std::string& what) const
    {
        throw std::runtime_error(path + ": " + what + (handle ? std::string(": ") + sqlite3_errmsg(handle) : ""));
    }

    void exec(const std::string& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string text = error ? error : "unknown error";
            sqlite3_free(error);
            throw std::runtime_error(path + ": " + text);
        }
    }

    // First column of the last row the statement gives, or "" for none.
    std::string value(const char* sql)
    {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(handle, sql, -1, &s, nullptr) != SQLITE_OK)
            fail(sql);
        std::string result;
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW)
            if (const unsigned char* text = sqlite3_column_text(s, 0))
                result = reinterpret_cast<const char*>(text);
        sqlite3_finalize(s);
        if (rc != SQLITE_DONE)
            fail(sql);
        return result;
    }
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in)
        throw std::runtime_error(path + ": cannot read it");
    return text.str();
}

void makeLibrary(const std::string& sqlPath, const std::string& dbPath)
{
    const std::string sql = readFile(sqlPath);
    const std::string temp = dbPath + ".new";
    std::filesystem::remove(temp);
    {
        Db db(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        // SQLCipher ignores a cipher it does not know; never ship a file under its default cipher.
        if (strcasecmp(db.value("PRAGMA cipher").c_str(), LibraryCipher::CipherName) != 0)
            db.fail(std::string("this SQLCipher cannot use ") + LibraryCipher::CipherName);
        db.exec("BEGIN");
        try {
            db.exec(sql);
        } catch (const std::runtime_error& e) {
            throw std::runtime_error(sqlPath + ": " + e.what());
        }
        db.exec("COMMIT");
    }
    {
        Db check(temp, SQLITE_OPEN_READONLY);
        const std::string rows = check.value("select count(*) from \"regex_library\"");
        std::printf("%s: %s entries\n", dbPath.c_str(), rows.c_str());
    }
    std::filesystem::rename(temp, dbPath);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SQL_FILE DB_FILE\n", argv[0]);
        return 2;
    }
    try {
        makeLibrary(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "glimmerpick_makedb: %s\n", e.what());
        std::filesystem::remove(std::string(argv[2]) + ".new");
        return 1;
    }
    return 0;
}
