#include "engine/DirectUiHandOff.h"

DirectUiHandOff::DirectUiHandOff(UiHandOff& view, std::mutex& viewLock) : m_view(view), m_viewLock(viewLock) { }

void DirectUiHandOff::runOnUiThread(const std::function<void()>& procedure)
{
    std::lock_guard lock(m_viewLock);
    procedure();
}

ResultsModel& DirectUiHandOff::grid()
{
    return m_view.grid();
}

void DirectUiHandOff::scrollRowToTop(int row)
{
    m_view.scrollRowToTop(row);
}

void DirectUiHandOff::setCompletedText(const QString& text)
{
    m_view.setCompletedText(text);
}

void DirectUiHandOff::setTimeText(const QString& text)
{
    m_view.setTimeText(text);
}

void DirectUiHandOff::EnableDisableOnStart(bool Flag)
{
    m_view.EnableDisableOnStart(Flag);
}

void DirectUiHandOff::showMessage(const QString& text)
{
    m_view.showMessage(text);
}
