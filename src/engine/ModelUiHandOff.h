#pragma once

#include "engine/QtUiHandOff.h"
#include "results/StringGridUtil.h"

#include <QStringList>

// The view of a front end without widgets: the grid is a row store of its own and the labels and
// notices are kept as texts. The command line runs on it, and test recorders derive from it.
// Thread affinity: the UI thread, the one that creates it (see QtUiHandOff); every accessor is
// for that thread too.
class ModelUiHandOff : public QtUiHandOff
{
public:
    ModelUiHandOff();

    ResultsModel& grid() override;
    void scrollRowToTop(int row) override;
    void setCompletedText(const QString& text) override;
    void setTimeText(const QString& text) override;
    void EnableDisableOnStart(bool Flag) override;
    void showMessage(const QString& text) override;

    int topRow() const { return m_topRow; }
    const QString& completedText() const { return m_completedText; }
    const QString& timeText() const { return m_timeText; }
    bool runningState() const { return m_runningState; }
    const QStringList& messages() const { return m_messages; }

private:
    ResultsModel m_grid;
    int m_topRow = 0;
    QString m_completedText;
    QString m_timeText;
    bool m_runningState = false;
    QStringList m_messages;
};
