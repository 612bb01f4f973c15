#include "engine/JobQueue.h"

#include <algorithm>

JobQueue::JobQueue(int capacity) : m_capacity(std::max(capacity, 1)) { }

bool JobQueue::push(Job job)
{
    std::unique_lock lock(m_mutex);
    m_notFull.wait(lock, [this] { return int(m_jobs.size()) < m_capacity || m_consumers == 0; });
    if (m_consumers == 0)
        return false;
    m_jobs.push_back(std::move(job));
    lock.unlock();
    m_notEmpty.notify_one();
    return true;
}

Job JobQueue::pop()
{
    std::unique_lock lock(m_mutex);
    m_notEmpty.wait(lock, [this] { return !m_jobs.empty(); });
    Job job = std::move(m_jobs.front());
    m_jobs.pop_front();
    lock.unlock();
    m_notFull.notify_one();
    return job;
}

void JobQueue::addConsumer()
{
    std::lock_guard lock(m_mutex);
    ++m_consumers;
}

void JobQueue::removeConsumer()
{
    std::unique_lock lock(m_mutex);
    if (--m_consumers > 0)
        return;
    lock.unlock();
    m_notFull.notify_all();
}

int JobQueue::size() const
{
    std::lock_guard lock(m_mutex);
    return int(m_jobs.size());
}
