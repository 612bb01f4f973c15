#pragma once

#include "library/LibraryNavigator.h"
#include "library/RegexLibraryStore.h"

#include <QAbstractTableModel>

#include <optional>

// The library grid's model: the store's entries as four text columns (description, pattern,
// replacement, example), with a cursor and one open edit, as a database navigator works them.
//
// The rows are the store's own (nothing is copied); an edit lives in a buffer until it is posted,
// and each post is written through the store at once. A posted entry takes its sorted place and the
// cursor follows it. When the database refuses a write, the call throws LibraryError and the edit
// stays open with everything typed. Typing into a browsed row starts its edit; moving the cursor,
// inserting or refreshing first settles an open edit: posted when something was changed, dropped
// otherwise.
//
// NULL is not an empty text: DisplayRole shows nullText() for it, IsNullRole tells it apart, and
// setData with an invalid QVariant stores NULL.
//
// Thread affinity: the UI thread (the store's).
class RegexLibraryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { ColumnDescription, ColumnPattern, ColumnReplacement, ColumnExample, ColumnCount };
    static constexpr int IsNullRole = Qt::UserRole + 1;
    static QString nullText();

    explicit RegexLibraryModel(RegexLibraryStore& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Never throws: a row that cannot become current (its predecessor's post failed) reports the
    // error through editRefused and returns false.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The entry at a row as shown, the edit included.
    RegexLibraryEntry entryAt(int row) const;
    std::optional<RegexLibraryEntry> currentEntry() const;
    int currentRow() const { return m_current; }
    LibraryEditState state() const { return m_state; }
    bool isModified() const { return m_modified; }
    NavigatorEnabled navigator() const;

    // Each of these throws LibraryError when the database refuses a write; then the cursor, the
    // rows and the open edit stay as they were.
    // Makes row current; row is a row as shown before the call, and stays the same entry when the
    // settled edit moves. Throws std::out_of_range for a row that does not exist.
    void moveTo(int row);
    void first();
    void prior();
    void next();
    void last();
    // A new entry with every column NULL, above the current row, for the user to fill in.
    void insert();
    void edit();
    void post();
    void cancel();
    // Removes the current entry (a new entry not yet posted is only dropped).
    void remove();
    // Settles the edit, then reads the table again; the cursor stays on its entry when it is still there.
    void refresh();
    // Posts a changed edit, drops an unchanged one.
    void settle();

    // Shows the store's rows afresh, after the store was opened or reloaded elsewhere; drops an edit.
    void reset();

Q_SIGNALS:
    void currentRowChanged(int row);
    // The edit state, the modified flag or the navigator's enabled buttons may have changed.
    void stateChanged();
    // A change was written to the database.
    void libraryChanged();
    // setData could not take a value; the text says why.
    void editRefused(const QString& error);

private:
    // Back to browsing, the edit buffer forgotten (no signal).
    void dropEdit();
    bool editing() const { return m_state != LibraryEditState::Browse; }
    int storeRow(int row) const;
    // Settles the edit and returns where the entry shown at row (another row than the edit) is then.
    int settleKeeping(int row);
    void setCurrent(int row);
    void beginEdit();
    void leaveEdit();
    // Writes the edit; returns its position in the store.
    int write();

    RegexLibraryStore& m_store;
    int m_current = -1;
    LibraryEditState m_state = LibraryEditState::Browse;
    RegexLibraryEntry m_buffer;
    bool m_modified = false;
};
