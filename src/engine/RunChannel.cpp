#include "engine/RunChannel.h"

#include "results/StringGridUtil.h"

RunChannel::RunChannel(std::vector<RowInput> inputs) : m_inputs(std::move(inputs)), m_state(m_inputs.size(), 0) { }

void RunChannel::setInput(int row, int column, const QString& text)
{
    std::lock_guard lock(m_mutex);
    if (row < 0 || row >= rowCount())
        return;
    RowInput& in = m_inputs[size_t(row)];
    switch (column) {
    case ColumnUrl:
        in.url = text;
        break;
    case ColumnRegexPattern:
        in.pattern = text;
        break;
    case ColumnRegexReplace:
        in.replacement = text;
        break;
    default:
        break;
    }
}

RowInput RunChannel::input(int row) const
{
    std::lock_guard lock(m_mutex);
    return m_inputs.at(size_t(row));
}

RowInput RunChannel::rowStarted(int row)
{
    std::lock_guard lock(m_mutex);
    m_state.at(size_t(row)) = 1;
    m_pending.started.push_back(row);
    ++m_tally.started;
    return m_inputs[size_t(row)];
}

void RunChannel::rowFinished(RowResult result)
{
    std::lock_guard lock(m_mutex);
    m_state.at(size_t(result.row)) = 2;
    m_tally.matches += result.count;
    if (!result.outcome.isEmpty())
        ++m_tally.failed;
    ++m_tally.completed;
    m_pending.results.push_back(std::move(result));
}

void RunChannel::rowFailed(int row, const QString& outcome)
{
    std::lock_guard lock(m_mutex);
    unsigned char& state = m_state.at(size_t(row));
    if (state == 2)
        return;
    // A job that failed before its first step still counts as begun, so the tally adds up.
    if (state == 0)
        ++m_tally.started;
    state = 2;
    ++m_tally.failed;
    ++m_tally.completed;
    m_pending.results.push_back({ row, 0, QString(), outcome, {} });
}

void RunChannel::setElapsed(std::chrono::milliseconds elapsed)
{
    std::lock_guard lock(m_mutex);
    m_pending.elapsed = elapsed;
}

RunProgress RunChannel::take()
{
    RunProgress out;
    std::lock_guard lock(m_mutex);
    std::swap(out, m_pending);
    out.tally
        = { m_tally.started.load(), m_tally.completed.load(), m_tally.failed.load(), m_tally.matches.load() };
    return out;
}
