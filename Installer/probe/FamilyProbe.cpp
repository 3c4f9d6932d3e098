#include "probe/FamilyProbe.h"

#include <windows.h>

#include <thread>

CFamilyProbe::CFamilyProbe(int (*probe)(), std::function<void()> first) noexcept
{
    try
    {
        m_result = std::make_shared<CWorkerResult<int>>();
        std::thread([result = m_result, probe, first = std::move(first)] {
            int nFamily = 0;
            try
            {
                if (first)
                    first();
                nFamily = probe();
            }
            catch (...)
            {
                // Out of memory: an unknown family.
            }
            result->Set(nFamily);
        }).detach();
    }
    catch (...)
    {
        ::OutputDebugStringA("The Windows family probe could not start\r\n");
        m_result.reset();
    }
}

std::optional<int> CFamilyProbe::Result() const noexcept
{
    if (!m_result)
        return 0; // never started: an unknown family, at once
    const int* family = m_result->Get();
    return family ? std::optional<int>(*family) : std::nullopt;
}

void CFamilyProbe::WhenDone(std::function<void()> listener) const noexcept
{
    if (m_result)
        m_result->WhenSet(std::move(listener));
    else if (listener)
        listener();
}
