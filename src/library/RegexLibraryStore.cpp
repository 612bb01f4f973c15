#include "library/RegexLibraryStore.h"

#include "library/LibraryCipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlcipher/sqlite3.h>

namespace
{

const char* const QueryWithRowid = "select *, rowid from \"regex_library\" order by description";
const char* const Query = "select * from \"regex_library\" order by description";
constexpr int TableColumns = 5;

[[noreturn]] void fail(const char* action, const QString& path, const QString& reason)
{
    throw LibraryError(QStringLiteral("Cannot %1 the regex library \"%2\": %3")
                           .arg(QLatin1String(action), QDir::toNativeSeparators(path), reason)
                           .toStdString());
}

QString errorText(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

struct StmtFinalizer {
    void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

Stmt prepare(sqlite3* db, const QString& sql, int& rc)
{
    sqlite3_stmt* raw = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    rc = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &raw, nullptr);
    return Stmt(raw);
}

std::optional<QString> textAt(sqlite3_stmt* s, int column)
{
    if (sqlite3_column_type(s, column) == SQLITE_NULL)
        return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(s, column));
}

QVariant valueAt(sqlite3_stmt* s, int column)
{
    switch (sqlite3_column_type(s, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(s, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(s, column));
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(s, column));
        return QVariant(QByteArray(bytes, sqlite3_column_bytes(s, column)));
    }
    case SQLITE_NULL:
        return {};
    default:
        return QVariant(*textAt(s, column));
    }
}

void bindText(sqlite3_stmt* s, int index, const std::optional<QString>& value)
{
    if (!value) {
        sqlite3_bind_null(s, index);
        return;
    }
    // A null pointer would be stored as NULL; the empty text must stay an empty text.
    const QByteArray utf8 = value->toUtf8();
    sqlite3_bind_text(s, index, utf8.isNull() ? "" : utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

QString quoteIdentifier(QString name)
{
    return QLatin1Char('"') + name.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// The value of a pragma that answers with rows (the last row's first column), or "" for none.
QString pragmaValue(sqlite3* db, const char* sql)
{
    int rc = SQLITE_OK;
    Stmt s = prepare(db, QString::fromLatin1(sql), rc);
    QString value;
    while (rc == SQLITE_OK && s && sqlite3_step(s.get()) == SQLITE_ROW)
        value = textAt(s.get(), 0).value_or(QString());
    return value;
}

} // namespace

struct RegexLibraryStore::Snapshot {
    std::vector<RegexLibraryEntry> entries;
    std::vector<qint64> rowids;
    bool hasRowid = false;
    QStringList columnNames;

    static Snapshot read(sqlite3* db, const char* action, const QString& path)
    {
        Snapshot snap;
        int rc = SQLITE_OK;
        Stmt s = prepare(db, QString::fromLatin1(QueryWithRowid), rc);
        snap.hasRowid = rc == SQLITE_OK;
        if (!snap.hasRowid) {
            // A WITHOUT ROWID table (or a view) still reads; anything else fails here with its own text.
            s = prepare(db, QString::fromLatin1(Query), rc);
            if (rc != SQLITE_OK)
                fail(action, path, errorText(db));
        }
        const int columns = sqlite3_column_count(s.get()) - (snap.hasRowid ? 1 : 0);
        if (columns < TableColumns)
            fail(action, path,
                QStringLiteral("the table regex_library has %1 columns; it needs %2 (key, description, "
                               "regex_pattern, regex_replacement, example)")
                    .arg(columns)
                    .arg(TableColumns));
        for (int c = 1; c < TableColumns; ++c)
            snap.columnNames << QString::fromUtf8(sqlite3_column_name(s.get(), c));

        while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
            snap.entries.push_back({ valueAt(s.get(), 0), textAt(s.get(), 1), textAt(s.get(), 2),
                textAt(s.get(), 3), textAt(s.get(), 4) });
            if (snap.hasRowid)
                snap.rowids.push_back(sqlite3_column_int64(s.get(), columns));
        }
        if (rc != SQLITE_DONE)
            fail(action, path, errorText(db));
        return snap;
    }
};

void RegexLibraryStore::DbCloser::operator()(sqlite3* db) const noexcept
{
    sqlite3_close(db);
}

RegexLibraryStore::RegexLibraryStore() = default;
RegexLibraryStore::~RegexLibraryStore() = default;
RegexLibraryStore::RegexLibraryStore(RegexLibraryStore&&) noexcept = default;
RegexLibraryStore& RegexLibraryStore::operator=(RegexLibraryStore&&) noexcept = default;

QString RegexLibraryStore::defaultPath(const QString& mainDir)
{
    return QDir::toNativeSeparators(mainDir + QStringLiteral("resources/data.db"));
}

void RegexLibraryStore::open(const QString& path)
{
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    if (!folder.exists())
        fail("open", path,
            QStringLiteral("the folder \"%1\" does not exist")
                .arg(QDir::toNativeSeparators(folder.absolutePath())));
    if (!info.exists())
        fail("open", path, QStringLiteral("the file does not exist"));

    // Read-write without CREATE: a file that vanishes meanwhile is an error, never a new empty database.
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK)
        fail("open", path, db ? errorText(db.get()) : QStringLiteral("out of memory"));
    sqlite3_busy_timeout(db.get(), 2000);

    for (const char* pragma : { LibraryCipher::KeyPragma, LibraryCipher::CipherPragma })
        if (sqlite3_exec(db.get(), pragma, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail("open", path, errorText(db.get()));
    // An unknown cipher name is ignored silently by SQLCipher, and a plain SQLite ignores both pragmas.
    const QLatin1String wanted(LibraryCipher::CipherName);
    if (pragmaValue(db.get(), "PRAGMA cipher").compare(wanted, Qt::CaseInsensitive) != 0)
        fail("open", path, QStringLiteral("this SQLCipher cannot use the cipher %1").arg(wanted));

    Snapshot snap = Snapshot::read(db.get(), "open", path);
    m_db = std::move(db);
    m_path = path;
    adopt(std::move(snap));
}

void RegexLibraryStore::close()
{
    m_db.reset();
    m_path.clear();
    adopt({});
}

bool RegexLibraryStore::isOpen() const
{
    return bool(m_db);
}

void RegexLibraryStore::reload()
{
    if (!m_db)
        throw LibraryError("The regex library is not open");
    refresh();
}

const RegexLibraryEntry& RegexLibraryStore::entry(int position) const
{
    checkPosition(position);
    return m_entries[size_t(position)];
}

std::optional<int> RegexLibraryStore::findByDescription(const QString& description) const
{
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].description.value_or(QString()) == description)
            return int(i);
    return std::nullopt;
}

int RegexLibraryStore::insert(const RegexLibraryEntry& e)
{
    checkEditable();
    write(QStringLiteral("insert into \"regex_library\" (%1, %2, %3, %4) values (?1, ?2, ?3, ?4)"), &e,
        std::nullopt);
    const qint64 rowid = sqlite3_last_insert_rowid(m_db.get());
    refresh();
    return positionOf(rowid);
}

int RegexLibraryStore::update(int position, const RegexLibraryEntry& e)
{
    checkEditable();
    checkPosition(position);
    const qint64 rowid = m_rowids[size_t(position)];
    write(QStringLiteral("update \"regex_library\" set %1 = ?1, %2 = ?2, %3 = ?3, %4 = ?4 where rowid = ?5"), &e,
        rowid);
    refresh();
    return positionOf(rowid);
}

void RegexLibraryStore::remove(int position)
{
    checkEditable();
    checkPosition(position);
    write(QStringLiteral("delete from \"regex_library\" where rowid = ?5"), nullptr, m_rowids[size_t(position)]);
    refresh();
}

void RegexLibraryStore::write(QString sql, const RegexLibraryEntry* e, std::optional<qint64> rowid)
{
    if (e) // one pass, so a column name holding "%2" stays as it is
        sql = sql.arg(quoteIdentifier(m_columnNames[0]), quoteIdentifier(m_columnNames[1]),
            quoteIdentifier(m_columnNames[2]), quoteIdentifier(m_columnNames[3]));
    int rc = SQLITE_OK;
    Stmt s = prepare(m_db.get(), sql, rc);
    if (rc == SQLITE_OK) {
        if (e) {
            bindText(s.get(), 1, e->description);
            bindText(s.get(), 2, e->regex_pattern);
            bindText(s.get(), 3, e->regex_replacement);
            bindText(s.get(), 4, e->example);
        }
        if (rowid)
            sqlite3_bind_int64(s.get(), 5, *rowid);
        // Autocommit: the statement is its own transaction, on disk when step returns.
        rc = sqlite3_step(s.get());
    }
    if (rc != SQLITE_DONE)
        fail("save to", m_path, errorText(m_db.get()));
}

void RegexLibraryStore::checkEditable() const
{
    if (!m_db)
        throw LibraryError("The regex library is not open");
    if (!m_hasRowid)
        fail("save to", m_path,
            QStringLiteral("the table regex_library has no rowid, so its rows cannot be edited"));
}

void RegexLibraryStore::checkPosition(int position) const
{
    if (position < 0 || position >= count())
        throw std::out_of_range("regex library position out of range");
}

int RegexLibraryStore::positionOf(qint64 rowid) const
{
    for (size_t i = 0; i < m_rowids.size(); ++i)
        if (m_rowids[i] == rowid)
            return int(i);
    // Someone else removed it between our write and the read-back.
    fail("read", m_path, QStringLiteral("the entry just saved is no longer in the file"));
}

void RegexLibraryStore::refresh()
{
    adopt(Snapshot::read(m_db.get(), "read", m_path));
}

void RegexLibraryStore::adopt(Snapshot&& snap)
{
    m_entries = std::move(snap.entries);
    m_rowids = std::move(snap.rowids);
    m_hasRowid = snap.hasRowid;
    m_columnNames = std::move(snap.columnNames);
}
