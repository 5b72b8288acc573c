#include "programsupervisor.h"

void ProgramSupervisor::linked(const Stages &stages)
{
    ++m_programs;
    // The last good program coming back after a slow one is not timed
    // again; any other is, a newer one that came first included.
    const bool restored = m_givingWay && stages == m_good;
    m_givingWay = false;
    m_restoreAsked = false;
    m_candidate = stages;
    m_timeNextDraw = !restored;
    if (restored)
        m_good = stages;
}

std::optional<ProgramSupervisor::Stages> ProgramSupervisor::failed(bool anotherBuilding)
{
    ++m_failedBuilds;
    // The slow program still stands: the good one comes back after all.
    if (m_givingWay && !m_restoreAsked && !anotherBuilding)
        return restore();
    return std::nullopt;
}

std::optional<ProgramSupervisor::Stages> ProgramSupervisor::timed(qint64 firstFrameMs, bool anotherBuilding)
{
    m_timeNextDraw = false;
    if (firstFrameMs <= m_slowFrameMs || m_good.isEmpty()) {
        m_good = m_candidate;
        m_slow = {};
        return std::nullopt;
    }
    m_slow = m_candidate;
    ++m_slowBuilds;
    m_givingWay = true;
    // A newer build on its way takes over when it comes; asked for now,
    // the good one would come after it and put it aside.
    if (anotherBuilding)
        return std::nullopt;
    return restore();
}

std::optional<ProgramSupervisor::Stages> ProgramSupervisor::restore()
{
    m_restoreAsked = true;
    return m_good;
}

std::optional<ProgramSupervisor::Stages> ProgramSupervisor::scaleLowered() const
{
    if (m_slow.isEmpty())
        return std::nullopt;
    return m_slow;
}
