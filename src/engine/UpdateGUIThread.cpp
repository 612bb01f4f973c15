#include "engine/UpdateGUIThread.h"

#include <QtDebug>

#include <exception>

QString formatElapsedTime(std::chrono::milliseconds elapsed)
{
    const qint64 seconds = std::max<qint64>(0, elapsed.count() / 1000);
    const qint64 h = (seconds / 3600) % 24;
    const qint64 m = (seconds / 60) % 60;
    const qint64 s = seconds % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(h, 2, 10, QLatin1Char('0'))
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s, 2, 10, QLatin1Char('0'));
}

TUpdateGUIThread::TUpdateGUIThread(Show show, std::chrono::milliseconds tick) :
    m_show(std::move(show)), m_tick(tick), m_thread([this] { Execute(); })
{
}

TUpdateGUIThread::~TUpdateGUIThread()
{
    Terminate();
    m_thread.join();
}

void TUpdateGUIThread::Terminate()
{
    {
        std::lock_guard lock(m_mutex);
        m_terminated = true;
    }
    m_wake.notify_all();
}

void TUpdateGUIThread::Execute()
{
    StartTime = std::chrono::steady_clock::now();
    std::unique_lock lock(m_mutex);
    // Tested before every update, so a request made before the thread got here means no update.
    while (!m_terminated) {
        lock.unlock();
        try {
            updateGui();
        } catch (const std::exception& e) {
            qWarning("clock: %s", e.what());
            return;
        } catch (...) {
            qWarning("clock: unknown error");
            return;
        }
        lock.lock();
        m_wake.wait_for(lock, m_tick, [this] { return m_terminated; });
    }
}

void TUpdateGUIThread::updateGui()
{
    const auto elapsed = std::chrono::steady_clock::now() - StartTime;
    m_show(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed));
}
