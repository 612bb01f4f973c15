#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

struct sqlite3;

// One row of the regex_library table, read by column position.
struct RegexLibraryEntry {
    QVariant key; // position-0 column, never shown
    std::optional<QString> description; // NULL kept distinct from ""
    std::optional<QString> regex_pattern;
    std::optional<QString> regex_replacement;
    std::optional<QString> example;

    bool operator==(const RegexLibraryEntry&) const = default;
};

// Any failure of the library file; the message names the file.
class LibraryError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The regex library: an SQLCipher (AES-128) database file with the table regex_library, whose columns
// are read by position: 0 key (ignored), 1 description, 2 regex_pattern, 3 regex_replacement, 4 example.
// Every row is held in memory in "order by description" order.
//
// Edits are written and committed at once, then the rows are read again, so entries() is always what
// the next start would read: an inserted entry takes its sorted place by the column's own collation
// (NULL descriptions first), and an entry whose description changes moves to its new place. The
// position returned by insert() and update() is where the entry is now; an index into entries() that
// was taken before an edit must not be used after it.
//
// Thread affinity: the thread that opened it (the UI thread in the desktop program).
class RegexLibraryStore
{
public:
    RegexLibraryStore();
    ~RegexLibraryStore();
    RegexLibraryStore(RegexLibraryStore&&) noexcept;
    RegexLibraryStore& operator=(RegexLibraryStore&&) noexcept;

    // mainDir ends with a separator: mainDir + "resources/data.db" with native separators.
    static QString defaultPath(const QString& mainDir);

    // Opens and reads the whole table. Never creates a missing file. On failure throws LibraryError
    // and leaves the store as it was.
    void open(const QString& path);
    void close();
    bool isOpen() const;
    // Reads the whole table again, for changes another program made. On failure throws LibraryError
    // and keeps the rows.
    void reload();
    const QString& path() const { return m_path; }

    const std::vector<RegexLibraryEntry>& entries() const { return m_entries; }
    int count() const { return int(m_entries.size()); }
    // Throws std::out_of_range for a position outside entries().
    const RegexLibraryEntry& entry(int position) const;
    // First entry whose description is exactly this text; a NULL description counts as "", as it is listed.
    std::optional<int> findByDescription(const QString& description) const;

    // e.key is not written: the database gives the new row its key. Returns the entry's position.
    int insert(const RegexLibraryEntry& e);
    // Writes columns 1 to 4 (the key stays). Returns the entry's position afterwards.
    int update(int position, const RegexLibraryEntry& e);
    void remove(int position);

private:
    struct DbCloser {
        void operator()(sqlite3* db) const noexcept;
    };
    using Db = std::unique_ptr<sqlite3, DbCloser>;
    struct Snapshot;

    void checkEditable() const;
    void checkPosition(int position) const;
    int positionOf(qint64 rowid) const;
    void refresh();
    void adopt(Snapshot&& snap);
    // Runs one statement with %1..%4 as the column names, ?1..?4 the entry's texts, ?5 the rowid.
    void write(QString sql, const RegexLibraryEntry* e, std::optional<qint64> rowid);

    Db m_db;
    QString m_path;
    std::vector<RegexLibraryEntry> m_entries;
    std::vector<qint64> m_rowids; // parallel to m_entries: how edits find their row
    bool m_hasRowid = false; // a WITHOUT ROWID table can be read but not edited
    QStringList m_columnNames; // names of columns 1 to 4, for writing back to the same columns
};
