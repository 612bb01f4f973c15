#include "engine/CountdownEvent.h"

#include <algorithm>

CountdownEvent::CountdownEvent(int count) : m_count(std::max(count, 0)) { }

void CountdownEvent::signal()
{
    std::lock_guard lock(m_mutex);
    if (m_count > 0 && --m_count == 0)
        m_zero.notify_all();
}

void CountdownEvent::wait()
{
    std::unique_lock lock(m_mutex);
    m_zero.wait(lock, [this] { return m_count == 0; });
}

bool CountdownEvent::isSet() const
{
    std::lock_guard lock(m_mutex);
    return m_count == 0;
}
