#include "engine/ModelUiHandOff.h"

ModelUiHandOff::ModelUiHandOff() : m_completedText(QStringLiteral("0")), m_timeText(QStringLiteral("00:00:00")) { }

ResultsModel& ModelUiHandOff::grid()
{
    return m_grid;
}

void ModelUiHandOff::scrollRowToTop(int row)
{
    m_topRow = row;
}

void ModelUiHandOff::setCompletedText(const QString& text)
{
    m_completedText = text;
}

void ModelUiHandOff::setTimeText(const QString& text)
{
    m_timeText = text;
}

void ModelUiHandOff::EnableDisableOnStart(bool Flag)
{
    m_runningState = Flag;
}

void ModelUiHandOff::showMessage(const QString& text)
{
    m_messages.append(text);
}
