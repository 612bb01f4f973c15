#pragma once

#include <QString>

#include <functional>

class ResultsModel;

// How the engine reaches the window, in two halves:
// - runOnUiThread hands a procedure to the UI thread and waits until it has run;
// - the view operations are what a run changes in the window. They are called on the UI thread
//   only: from inside runOnUiThread, or from a handler already running there.
// A window implements the view operations; QtUiHandOff supplies runOnUiThread.
class UiHandOff
{
public:
    virtual ~UiHandOff();

    // Runs the procedure on the UI thread and returns once it has run. An error it raises is
    // rethrown here, on the caller's thread. Called on the UI thread itself, it runs at once.
    virtual void runOnUiThread(const std::function<void()>& procedure) = 0;

    // The results grid: a run reads columns 0 to 2 and writes columns 3, 4 and each row's outcome.
    virtual ResultsModel& grid() = 0;
    // Scrolls the grid vertically so that the row is the first one visible.
    virtual void scrollRowToTop(int row) = 0;
    // "Urls processed" (LabelCompleted) and "Time" (LabelTime).
    virtual void setCompletedText(const QString& text) = 0;
    virtual void setTimeText(const QString& text) = 0;
    // Switches the controls between idle (false) and running (true).
    virtual void EnableDisableOnStart(bool Flag) = 0;
    // A notice with one OK button; returns when it has been dismissed.
    virtual void showMessage(const QString& text) = 0;
};
