#pragma once

#include <array>
#include <cstddef>

// The buttons of the library window's navigator bar, in their order on the bar.
enum class NavigatorAction { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
inline constexpr std::size_t NavigatorActionCount = 10;

// Whether the row under the cursor is browsed, being edited, or a new entry not yet posted.
enum class LibraryEditState { Browse, Edit, Insert };

// Which navigator buttons are enabled.
struct NavigatorEnabled {
    std::array<bool, NavigatorActionCount> enabled {};

    bool operator[](NavigatorAction a) const { return enabled[std::size_t(a)]; }
    bool operator==(const NavigatorEnabled&) const = default;
};

// The rules users know from database navigators: no first or prior on the first row, no next or
// last on the last one; delete with a row under the cursor; edit only while browsing a row; post
// and cancel only while editing or inserting. Insert and refresh need only an open library.
// Moving, inserting and refreshing stay enabled while editing: they settle the edit first.
// rowCount includes a new entry not yet posted; currentRow is -1 when there are no rows.
NavigatorEnabled navigatorEnabled(bool open, int rowCount, int currentRow, LibraryEditState state);
