#pragma once

#include "engine/UiHandOff.h"

#include <mutex>

// The jobs' hand-off for a view without widgets (the command line): a procedure runs at once on
// the calling worker, under the view's lock, instead of queueing behind the UI thread's event
// loop, so the workers never wait for one another's round trips. The view operations go to the
// view. Sound only if the view's own hand-off takes the same lock around everything it runs for
// the run, so the row store is only ever touched under that lock.
class DirectUiHandOff : public UiHandOff
{
public:
    DirectUiHandOff(UiHandOff& view, std::mutex& viewLock);

    void runOnUiThread(const std::function<void()>& procedure) override;
    ResultsModel& grid() override;
    void scrollRowToTop(int row) override;
    void setCompletedText(const QString& text) override;
    void setTimeText(const QString& text) override;
    void EnableDisableOnStart(bool Flag) override;
    void showMessage(const QString& text) override;

private:
    UiHandOff& m_view;
    std::mutex& m_viewLock;
};
