#include "SqlcipherCli.h"

#include "library/RegexLibraryModel.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace
{

using State = LibraryEditState;

const char* const Schema = "create table regex_library (id integer primary key, description text, "
                           "regex_pattern text, regex_replacement text, example text);\n";

// alpha, delta, golf; delta keeps NULL apart from empty text in its last three columns.
const char* const ThreeEntries = "insert into regex_library values (1, 'golf', 'g+', '$0', 'ggg');\n"
                                 "insert into regex_library values (2, 'alpha', 'a+', '', 'aaa');\n"
                                 "insert into regex_library values (3, 'delta', '', NULL, NULL);\n";

struct Library {
    TempDir dir;
    QString path;
    RegexLibraryStore store;

    explicit Library(const QString& rows = QString::fromLatin1(ThreeEntries))
    {
        path = dir.path(QStringLiteral("data.db"));
        SqlcipherCli::exec(path, QString::fromLatin1(Schema) + rows);
        store.open(path);
    }

    // The file's rows as the sqlcipher tool reads them, NULL spelled NULL and texts quoted.
    QString file() const
    {
        return SqlcipherCli::exec(path,
            QStringLiteral("select quote(description), quote(regex_pattern), quote(regex_replacement), "
                           "quote(example) from regex_library order by description;\n"))
            .trimmed();
    }
};

QStringList shown(const RegexLibraryModel& model, int column = RegexLibraryModel::ColumnDescription)
{
    QStringList list;
    for (int r = 0; r < model.rowCount(); ++r)
        list << model.data(model.index(r, column)).toString();
    return list;
}

std::optional<QString> text(const char* s)
{
    return QString::fromUtf8(s);
}

// "FPNLIDESCR" with a '.' for each disabled button: first, prior, next, last, insert, delete, edit,
// post (S for save), cancel, refresh.
QString buttons(const NavigatorEnabled& n)
{
    const char letters[] = "FPNLIDESCR";
    QString s;
    for (std::size_t i = 0; i < NavigatorActionCount; ++i)
        s += n.enabled[i] ? QLatin1Char(letters[i]) : QLatin1Char('.');
    return s;
}

} // namespace

TEST(LibraryNavigator, EnabledButtonsFollowTheCursorAndTheEditState)
{
    const struct {
        bool open;
        int rows, current;
        State state;
        const char* expected;
    } cases[] = {
        { true, 3, 0, State::Browse, "..NLIDE..R" },
        { true, 3, 1, State::Browse, "FPNLIDE..R" },
        { true, 3, 2, State::Browse, "FP..IDE..R" },
        { true, 1, 0, State::Browse, "....IDE..R" },
        { true, 0, -1, State::Browse, "....I....R" },
        { true, 3, 1, State::Edit, "FPNLID.SCR" },
        { true, 1, 0, State::Insert, "....ID.SCR" }, // the new entry in an empty library
        { true, 4, 3, State::Insert, "FP..ID.SCR" },
        { false, 3, 0, State::Browse, ".........." },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(
            ::testing::Message() << c.rows << " rows, current " << c.current << ", state " << int(c.state));
        EXPECT_EQ(buttons(navigatorEnabled(c.open, c.rows, c.current, c.state)), QString::fromLatin1(c.expected));
    }
}

TEST(RegexLibraryModel, ShowsTheStoreWithNullApartFromEmptyText)
{
    Library lib;
    RegexLibraryModel model(lib.store);
    EXPECT_EQ(model.columnCount(), 4);
    QStringList headers;
    for (int c = 0; c < model.columnCount(); ++c)
        headers << model.headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers, QStringList({ "Description", "Regex Pattern", "Regex Replacement", "example" }));

    EXPECT_EQ(shown(model), QStringList({ "alpha", "delta", "golf" }));
    EXPECT_EQ(model.currentRow(), 0);
    const QModelIndex empty = model.index(1, RegexLibraryModel::ColumnPattern);
    const QModelIndex null = model.index(1, RegexLibraryModel::ColumnReplacement);
    EXPECT_EQ(model.data(empty).toString(), "");
    EXPECT_FALSE(model.data(empty, RegexLibraryModel::IsNullRole).toBool());
    EXPECT_TRUE(model.data(empty, Qt::EditRole).isValid());
    EXPECT_EQ(model.data(null).toString(), "(null)");
    EXPECT_TRUE(model.data(null, RegexLibraryModel::IsNullRole).toBool());
    EXPECT_FALSE(model.data(null, Qt::EditRole).isValid());
}

TEST(RegexLibraryModel, MovesAndTheButtonsFollow)
{
    Library lib;
    RegexLibraryModel model(lib.store);
    int moves = 0;
    QObject::connect(&model, &RegexLibraryModel::currentRowChanged, [&] { ++moves; });
    EXPECT_EQ(buttons(model.navigator()), "..NLIDE..R");
    model.prior(); // nothing before the first entry
    model.next();
    EXPECT_EQ(model.currentRow(), 1);
    EXPECT_EQ(buttons(model.navigator()), "FPNLIDE..R");
    model.last();
    EXPECT_EQ(buttons(model.navigator()), "FP..IDE..R");
    model.next();
    EXPECT_EQ(model.currentRow(), 2);
    model.first();
    model.moveTo(2);
    EXPECT_EQ(model.currentRow(), 2);
    EXPECT_THROW(model.moveTo(3), std::out_of_range);
    EXPECT_EQ(moves, 4);
    EXPECT_EQ(model.state(), State::Browse);
}

TEST(RegexLibraryModel, InsertedEntryIsPostedToItsSortedPlaceAndTheCursorFollows)
{
    Library lib;
    RegexLibraryModel model(lib.store);
    int written = 0;
    QObject::connect(&model, &RegexLibraryModel::libraryChanged, [&] { ++written; });
    model.moveTo(1);
    model.insert();
    EXPECT_EQ(model.state(), State::Insert);
    EXPECT_EQ(model.currentRow(), 1);
    EXPECT_EQ(shown(model), QStringList({ "alpha", "(null)", "delta", "golf" }));
    EXPECT_EQ(buttons(model.navigator()), "FPNLID.SCR");

    EXPECT_TRUE(model.setData(model.index(1, 0), QStringLiteral("echo")));
    EXPECT_TRUE(model.setData(model.index(1, 1), QStringLiteral("e+")));
    EXPECT_TRUE(model.setData(model.index(1, 3), QStringLiteral("")));
    EXPECT_EQ(written, 0); // nothing written before the post
    model.post();
    EXPECT_EQ(model.state(), State::Browse);
    EXPECT_EQ(shown(model), QStringList({ "alpha", "delta", "echo", "golf" }));
    EXPECT_EQ(model.currentRow(), 2);
    EXPECT_EQ(written, 1);
    EXPECT_EQ(
        lib.file(), "'alpha'|'a+'|''|'aaa'\n'delta'|''|NULL|NULL\n'echo'|'e+'|NULL|''\n'golf'|'g+'|'$0'|'ggg'");

    // A new entry with nothing typed is dropped when the cursor moves on; the cursor keeps its entry.
    model.moveTo(3);
    model.insert();
    model.moveTo(0);
    EXPECT_EQ(model.state(), State::Browse);
    EXPECT_EQ(shown(model), QStringList({ "alpha", "delta", "echo", "golf" }));
    EXPECT_EQ(model.currentRow(), 0);
    // One with something typed is posted by the move, which lands on the entry chosen.
    model.insert();
    model.setData(model.index(0, 0), QStringLiteral("zulu"));
    model.moveTo(2); // delta, shown below the new row
    EXPECT_EQ(shown(model), QStringList({ "alpha", "delta", "echo", "golf", "zulu" }));
    EXPECT_EQ(model.currentRow(), 1);
    EXPECT_EQ(written, 2);
}

TEST(RegexLibraryModel, RenamedEntryMovesAndTheCursorFollowsOrKeepsTheChosenEntry)
{
    Library lib;
    RegexLibraryModel model(lib.store);
    // Typing into a browsed row starts its edit.
    EXPECT_TRUE(model.setData(model.index(0, 0), QStringLiteral("hotel")));
    EXPECT_EQ(model.state(), State::Edit);
    EXPECT_TRUE(model.isModified());
    EXPECT_EQ(shown(model), QStringList({ "hotel", "delta", "golf" }));
    model.post();
    EXPECT_EQ(shown(model), QStringList({ "delta", "golf", "hotel" }));
    EXPECT_EQ(model.currentRow(), 2);

    // Choosing another row posts the edit and lands on the row chosen, wherever it went.
    const struct {
        int from;
        const char* newName;
        int to;
        const char* landsOn;
    } cases[] = {
        { 2, "bravo", 1, "golf" }, // moves up past the chosen row
        { 0, "india", 1, "delta" }, // bravo moves down past it
        { 1, "foxtrot", 2, "india" }, // stays in place
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.newName);
        model.moveTo(c.from);
        model.setData(model.index(c.from, 0), QString::fromLatin1(c.newName));
        model.moveTo(c.to);
        EXPECT_EQ(model.state(), State::Browse);
        EXPECT_EQ(model.currentEntry()->description, text(c.landsOn)) << shown(model).join(u',').toStdString();
    }
    EXPECT_EQ(shown(model), QStringList({ "delta", "foxtrot", "india" }));
}

TEST(RegexLibraryModel, NullAndEmptyTextSurviveAnEditAndCanBeEntered)
{
    Library lib;
    RegexLibraryModel model(lib.store);
    model.moveTo(1); // delta: '' pattern, NULL replacement, NULL example
    model.edit();
    EXPECT_EQ(buttons(model.navigator()), "FPNLID.SCR");
    model.setData(model.index(1, 0), QStringLiteral("delta 2"));
    model.post();
    EXPECT_EQ(lib.file().split(u'\n').value(1), "'delta 2'|''|NULL|NULL");

    // Storing the value a cell already holds starts no edit.
    EXPECT_TRUE(model.setData(model.index(1, 2), QVariant()));
    EXPECT_TRUE(model.setData(model.index(1, 1), QStringLiteral("")));
    EXPECT_EQ(model.state(), State::Browse);

    model.setData(model.index(1, 1), QVariant()); // '' to NULL
    model.setData(model.index(1, 2), QString()); // NULL to '' (a null QString is still a text)
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), "(null)");
    EXPECT_EQ(model.data(model.index(1, 2)).toString(), "");
    model.post();
    EXPECT_EQ(lib.file().split(u'\n').value(1), "'delta 2'|NULL|''|NULL");
}

TEST(RegexLibraryModel, CancelRestoresAndDeleteKeepsTheCursorInPlace)
{
    Library lib;
    RegexLibraryModel model(lib.store);
    model.setData(model.index(0, 1), QStringLiteral("changed"));
    model.cancel();
    EXPECT_EQ(model.state(), State::Browse);
    EXPECT_EQ(shown(model, 1), QStringList({ "a+", "", "g+" }));

    model.moveTo(1);
    model.insert();
    model.setData(model.index(1, 0), QStringLiteral("never"));
    model.cancel();
    EXPECT_EQ(shown(model), QStringList({ "alpha", "delta", "golf" }));
    EXPECT_EQ(model.currentRow(), 1);

    // Delete of a new entry only drops it; of a stored one removes it from the file.
    model.insert();
    model.remove();
    EXPECT_EQ(model.rowCount(), 3);
    model.remove();
    EXPECT_EQ(shown(model), QStringList({ "alpha", "golf" }));
    EXPECT_EQ(model.currentRow(), 1);
    model.remove();
    EXPECT_EQ(model.currentRow(), 0);
    model.remove();
    EXPECT_EQ(model.currentRow(), -1);
    EXPECT_EQ(buttons(model.navigator()), "....I....R");
    EXPECT_EQ(lib.file(), "");
}

TEST(RegexLibraryModel, RefusedWriteKeepsTheEditAndTheCursor)
{
    // The database refuses every change, as a locked or read-only file does, whoever runs the test.
    Library lib(QString::fromLatin1(ThreeEntries)
        + "create trigger no_update before update on regex_library begin select raise(abort, 'closed for "
          "maintenance'); end;\n"
          "create trigger no_insert before insert on regex_library begin select raise(abort, 'closed for "
          "maintenance'); end;\n"
          "create trigger no_delete before delete on regex_library begin select raise(abort, 'closed for "
          "maintenance'); end;\n");
    RegexLibraryModel model(lib.store);
    const QString before = lib.file();

    model.setData(model.index(0, 0), QStringLiteral("zulu"));
    model.setData(model.index(0, 3), QVariant());
    const auto expectRefused = [&](const std::function<void()>& action) {
        try {
            action();
            ADD_FAILURE() << "the write was not refused";
        } catch (const LibraryError& e) {
            EXPECT_NE(QString::fromUtf8(e.what()).indexOf("closed for maintenance"), -1) << e.what();
        }
    };
    expectRefused([&] { model.post(); });
    expectRefused([&] { model.next(); });
    expectRefused([&] { model.moveTo(2); });
    expectRefused([&] { model.insert(); });
    // setData on another row must move there first; it reports instead of throwing into Qt.
    QStringList refused;
    QObject::connect(&model, &RegexLibraryModel::editRefused, [&](const QString& error) { refused << error; });
    EXPECT_FALSE(model.setData(model.index(1, 0), QStringLiteral("lost?")));
    ASSERT_EQ(refused.size(), 1);
    EXPECT_NE(refused[0].indexOf("closed for maintenance"), -1);

    EXPECT_EQ(model.state(), State::Edit);
    EXPECT_EQ(model.currentRow(), 0);
    EXPECT_EQ(shown(model), QStringList({ "zulu", "delta", "golf" }));
    EXPECT_EQ(model.data(model.index(0, 3)).toString(), "(null)");
    EXPECT_EQ(lib.file(), before);

    // Once the file takes writes again, the same edit is posted whole.
    SqlcipherCli::exec(lib.path, QStringLiteral("drop trigger no_update;\n"));
    model.post();
    EXPECT_EQ(lib.file().split(u'\n').value(2), "'zulu'|'a+'|''|NULL");
    EXPECT_EQ(model.currentRow(), 2);

    model.moveTo(0);
    expectRefused([&] { model.remove(); });
    EXPECT_EQ(model.rowCount(), 3);
}

TEST(RegexLibraryModel, RefreshShowsOtherWritersAndKeepsTheCursorOnItsEntry)
{
    Library lib;
    RegexLibraryModel model(lib.store);
    model.moveTo(1); // delta
    SqlcipherCli::exec(
        lib.path, QStringLiteral("insert into regex_library values (9, 'bravo', 'b', NULL, NULL);\n"));
    EXPECT_EQ(model.rowCount(), 3);
    model.refresh();
    EXPECT_EQ(shown(model), QStringList({ "alpha", "bravo", "delta", "golf" }));
    EXPECT_EQ(model.currentEntry()->description, text("delta"));
}
