#include "SqlcipherCli.h"

#include "library/RegexLibraryStore.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace
{

const char* const Schema = "create table regex_library (id integer primary key, description text, "
                           "regex_pattern text, regex_replacement text, example text);\n";

std::optional<QString> text(const char* s)
{
    return QString::fromUtf8(s);
}

QStringList descriptions(const RegexLibraryStore& store)
{
    QStringList list;
    for (const RegexLibraryEntry& e : store.entries())
        list << e.description.value_or(QStringLiteral("<NULL>"));
    return list;
}

// A library file made by the sqlcipher tool, as a user or the original program would have made it.
QString makeLibrary(const TempDir& dir, const QString& sql, const QString& name = QStringLiteral("data.db"))
{
    const QString path = dir.path(name);
    SqlcipherCli::exec(path, sql);
    return path;
}

} // namespace

// Found by Google Test through the entry's own (global) namespace.
void PrintTo(const RegexLibraryEntry& e, std::ostream* os)
{
    const auto field = [](const std::optional<QString>& v) { return v ? '"' + v->toStdString() + '"' : "NULL"; };
    *os << '{' << e.key.toString().toStdString() << ", " << field(e.description) << ", " << field(e.regex_pattern)
        << ", " << field(e.regex_replacement) << ", " << field(e.example) << '}';
}

TEST(RegexLibraryStore, DefaultPathIsInTheResourcesFolder)
{
    EXPECT_EQ(RegexLibraryStore::defaultPath(QDir::toNativeSeparators(QStringLiteral("/opt/gp/"))),
        QDir::toNativeSeparators(QStringLiteral("/opt/gp/resources/data.db")));
}

TEST(RegexLibraryStore, ReadsColumnsByPositionInDescriptionOrderKeepingNullApartFromEmpty)
{
    // Other names at positions 0 and 2 to 4 and a sixth column: only the positions count.
    TempDir dir;
    const QString path = makeLibrary(dir,
        QStringLiteral("create table regex_library (k text, description text, p text, r text, "
                       "x text, extra text);\n"
                       "insert into regex_library values ('k1', 'beta', 'b+', '', 'bbb', 'z');\n"
                       "insert into regex_library values ('k2', NULL, NULL, '$1', NULL, 'z');\n"
                       "insert into regex_library values ('k3', 'Überschrift €', '', NULL, '', 'z');\n"
                       "insert into regex_library values ('k4', '', 'e', 'x', 'e', 'z');\n"));
    RegexLibraryStore store;
    store.open(path);
    ASSERT_TRUE(store.isOpen());
    const std::vector<RegexLibraryEntry> expected = {
        { QStringLiteral("k2"), std::nullopt, std::nullopt, text("$1"), std::nullopt },
        { QStringLiteral("k4"), text(""), text("e"), text("x"), text("e") },
        { QStringLiteral("k1"), text("beta"), text("b+"), text(""), text("bbb") },
        { QStringLiteral("k3"), text("Überschrift €"), text(""), std::nullopt, text("") },
    };
    EXPECT_EQ(store.entries(), expected);
    EXPECT_EQ(store.count(), 4);
}

TEST(RegexLibraryStore, OrderFollowsTheCollationTheColumnDeclares)
{
    const struct {
        const char* collation;
        QStringList order;
    } cases[] = {
        { "", { "<NULL>", "A", "C", "b" } },
        { "collate nocase", { "<NULL>", "A", "b", "C" } },
    };
    for (const auto& c : cases) {
        TempDir dir;
        const QString path = makeLibrary(dir,
            QStringLiteral("create table regex_library (id integer primary key, description text %1, "
                           "regex_pattern text, regex_replacement text, example text);\n"
                           "insert into regex_library (description) values ('b'), ('C'), (NULL), ('A');\n")
                .arg(QLatin1String(c.collation)));
        RegexLibraryStore store;
        store.open(path);
        EXPECT_EQ(descriptions(store), c.order) << c.collation;
        // Inserting takes the same ordering as the next start would.
        const int at = store.insert({ {}, text("B2"), text("x"), std::nullopt, std::nullopt });
        RegexLibraryStore reopened;
        reopened.open(path);
        EXPECT_EQ(descriptions(store), descriptions(reopened)) << c.collation;
        EXPECT_EQ(store.entries()[size_t(at)].description, text("B2")) << c.collation;
    }
}

TEST(RegexLibraryStore, EmptyTableOpens)
{
    TempDir dir;
    RegexLibraryStore store;
    store.open(makeLibrary(dir, QString::fromLatin1(Schema)));
    EXPECT_TRUE(store.isOpen());
    EXPECT_EQ(store.count(), 0);
    EXPECT_FALSE(store.findByDescription(QString()));
}

TEST(RegexLibraryStore, EditsAreCommittedAtOnceAndPersistAcrossAReopen)
{
    TempDir dir;
    const QString path = makeLibrary(dir,
        QString::fromLatin1(Schema)
            + QStringLiteral("insert into regex_library values (7, 'b', 'p', 'r', 'e');\n"
                             "insert into regex_library values (9, 'd', 'p', 'r', 'e');\n"));
    RegexLibraryStore store;
    store.open(path);

    EXPECT_EQ(store.insert({ {}, text("c"), text("\\d+"), std::nullopt, text("") }), 1);
    EXPECT_EQ(store.insert({ {}, std::nullopt, text(""), text(""), std::nullopt }), 0);
    EXPECT_EQ(descriptions(store), QStringList({ "<NULL>", "b", "c", "d" }));
    EXPECT_EQ(store.entries()[2].key, QVariant(qlonglong(10))) << "the database gives the key";

    // On disk at once, while the store still holds the file open; NULL and '' stay apart.
    const QString dump = QStringLiteral(
        "select quote(description), quote(regex_pattern), quote(regex_replacement), quote(example) "
        "from regex_library order by id;\n");
    EXPECT_EQ(SqlcipherCli::exec(path, dump),
        QStringLiteral("'b'|'p'|'r'|'e'\n"
                       "'d'|'p'|'r'|'e'\n"
                       "'c'|'\\d+'|NULL|''\n"
                       "NULL|''|''|NULL\n"));

    // A changed description moves the entry to its new place; the key stays.
    EXPECT_EQ(store.update(2, { {}, text("a"), std::nullopt, text("$1"), text("x") }), 1);
    EXPECT_EQ(descriptions(store), QStringList({ "<NULL>", "a", "b", "d" }));
    EXPECT_EQ(
        store.entries()[1], (RegexLibraryEntry { qlonglong(10), text("a"), std::nullopt, text("$1"), text("x") }));

    store.remove(2);
    EXPECT_EQ(descriptions(store), QStringList({ "<NULL>", "a", "d" }));

    RegexLibraryStore reopened;
    reopened.open(path);
    EXPECT_EQ(reopened.entries(), store.entries());

    EXPECT_THROW(store.update(3, {}), std::out_of_range);
    EXPECT_THROW(store.remove(-1), std::out_of_range);
}

TEST(RegexLibraryStore, FindByDescriptionTakesTheFirstExactMatch)
{
    TempDir dir;
    RegexLibraryStore store;
    store.open(makeLibrary(dir,
        QString::fromLatin1(Schema)
            + QStringLiteral("insert into regex_library values (1, 'Links', 'a', NULL, NULL);\n"
                             "insert into regex_library values (2, 'Links', 'b', NULL, NULL);\n"
                             "insert into regex_library values (3, NULL, 'c', NULL, NULL);\n")));
    EXPECT_EQ(store.findByDescription(QStringLiteral("Links")), 1);
    EXPECT_EQ(store.findByDescription(QString()), 0) << "a NULL description is listed as the empty text";
    EXPECT_FALSE(store.findByDescription(QStringLiteral("links")));
    EXPECT_FALSE(store.findByDescription(QStringLiteral("Link")));
}

TEST(RegexLibraryStore, TableWithoutRowidReadsButRefusesEdits)
{
    TempDir dir;
    RegexLibraryStore store;
    store.open(makeLibrary(dir,
        QStringLiteral("create table regex_library (id integer primary key, description "
                       "text, regex_pattern text, regex_replacement text, example text) "
                       "without rowid;\n"
                       "insert into regex_library values (1, 'a', 'p', NULL, NULL);\n")));
    ASSERT_EQ(store.count(), 1);
    EXPECT_EQ(store.entries()[0].regex_pattern, text("p"));
    EXPECT_THROW(store.insert({}), LibraryError);
    EXPECT_THROW(store.remove(0), LibraryError);
    EXPECT_EQ(store.count(), 1);
}

TEST(RegexLibraryStore, FailuresNameTheFileAndCreateNothing)
{
    TempDir dir;
    const QString other = QStringLiteral("PRAGMA key = 'another';\nPRAGMA cipher = 'aes-128-cbc';\n");
    const QString aes256 = QStringLiteral("PRAGMA key = 'Hb3nQvTz8KdWm2R';\n");
    const QString table = QString::fromLatin1(Schema);
    const auto made = [&](const char* name, const QString& sql, const QString& keying) {
        const QString path = dir.path(QString::fromLatin1(name));
        SqlcipherCli::exec(path, sql, keying);
        return path;
    };
    const struct {
        QString path;
        QString reason;
    } cases[] = {
        { dir.path(QStringLiteral("no-folder/data.db")),
            QStringLiteral("the folder \"%1\" does not exist")
                .arg(QDir::toNativeSeparators(dir.path(QStringLiteral("no-folder")))) },
        { dir.path(QStringLiteral("missing.db")), QStringLiteral("the file does not exist") },
        { made("other-key.db", table, other), QStringLiteral("file is encrypted or is not a database") },
        { made("aes-256.db", table, aes256), QStringLiteral("file is encrypted or is not a database") },
        { made("plain.db", table, QString()), QStringLiteral("file is encrypted or is not a database") },
        { dir.write(QStringLiteral("text.db"), QByteArray(4096, 'x')),
            QStringLiteral("file is encrypted or is not a database") },
        { dir.write(QStringLiteral("empty.db"), QByteArray()), QStringLiteral("no such table: regex_library") },
        { made("no-table.db", QStringLiteral("create table library (a, b, c, d, e);\n"),
              SqlcipherCli::libraryKeying()),
            QStringLiteral("no such table: regex_library") },
        { made("four.db",
              QStringLiteral("create table regex_library (id, description, regex_pattern, example);\n"),
              SqlcipherCli::libraryKeying()),
            QStringLiteral("the table regex_library has 4 columns; it needs 5") },
    };

    // A failed open leaves an open store as it was.
    RegexLibraryStore store;
    const QString good
        = made("good.db", table + QStringLiteral("insert into regex_library (description) values ('a');\n"),
            SqlcipherCli::libraryKeying());
    store.open(good);

    for (const auto& c : cases) {
        const bool existed = QFileInfo::exists(c.path);
        try {
            store.open(c.path);
            ADD_FAILURE() << "opened " << c.path.toStdString();
        } catch (const LibraryError& e) {
            const QString message = QString::fromUtf8(e.what());
            EXPECT_TRUE(message.startsWith(
                QStringLiteral("Cannot open the regex library \"%1\": ").arg(QDir::toNativeSeparators(c.path))))
                << message.toStdString();
            EXPECT_TRUE(message.contains(c.reason)) << message.toStdString();
        }
        EXPECT_EQ(QFileInfo::exists(c.path), existed) << c.path.toStdString();
        EXPECT_TRUE(store.isOpen());
        EXPECT_EQ(store.path(), good);
        EXPECT_EQ(descriptions(store), QStringList({ "a" }));
    }
    EXPECT_FALSE(QFileInfo::exists(dir.path(QStringLiteral("no-folder"))));

    RegexLibraryStore closed;
    EXPECT_THROW(closed.insert({}), LibraryError);
}
