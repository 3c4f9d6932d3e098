#include "app/WorkerRequests.h"

#include <utility>

template <typename Change>
bool CWorkerRequests::Request(Change change)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bClosed)
        return false;
    change(m_pending);
    return !std::exchange(m_bWoken, true);
}

bool CWorkerRequests::SetStatus(std::wstring text)
{
    return Request([&](Batch& batch) { batch.status = std::move(text); });
}

bool CWorkerRequests::ShowBar(int bar)
{
    return Request([bar](Batch& batch) {
        batch.bars[bar].position = 0;
        batch.bars[bar].visible = true;
    });
}

bool CWorkerRequests::MoveBar(int bar, int position)
{
    return Request([bar, position](Batch& batch) { batch.bars[bar].position = position; });
}

bool CWorkerRequests::HideBar(int bar)
{
    return Request([bar](Batch& batch) { batch.bars[bar].visible = false; });
}

bool CWorkerRequests::FamilyKnown()
{
    return Request([](Batch& batch) { batch.bFamilyKnown = true; });
}

bool CWorkerRequests::BannerReady()
{
    return Request([](Batch& batch) { batch.bBannerReady = true; });
}

bool CWorkerRequests::RunEnded(int exitCode)
{
    return Request([exitCode](Batch& batch) { batch.runEnded = exitCode; });
}

CWorkerRequests::Batch CWorkerRequests::Take()
{
    Batch taken;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::swap(taken, m_pending);
    m_bWoken = false;
    m_bMissed = false;
    return taken;
}

void CWorkerRequests::WakeFailed()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bWoken = false;
    m_bMissed = true;
}

bool CWorkerRequests::WakeMissed()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bMissed;
}

void CWorkerRequests::Close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bClosed = true;
    m_pending = Batch();
}
