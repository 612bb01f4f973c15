#include "library/LibraryNavigator.h"

NavigatorEnabled navigatorEnabled(bool open, int rowCount, int currentRow, LibraryEditState state)
{
    NavigatorEnabled n;
    if (!open)
        return n;
    const bool onRow = currentRow >= 0 && currentRow < rowCount;
    const bool editing = state != LibraryEditState::Browse;
    const auto set = [&n](NavigatorAction a, bool on) { n.enabled[std::size_t(a)] = on; };
    set(NavigatorAction::First, onRow && currentRow > 0);
    set(NavigatorAction::Prior, onRow && currentRow > 0);
    set(NavigatorAction::Next, onRow && currentRow < rowCount - 1);
    set(NavigatorAction::Last, onRow && currentRow < rowCount - 1);
    set(NavigatorAction::Insert, true);
    set(NavigatorAction::Delete, onRow);
    set(NavigatorAction::Edit, onRow && !editing);
    set(NavigatorAction::Post, editing);
    set(NavigatorAction::Cancel, editing);
    set(NavigatorAction::Refresh, true);
    return n;
}
