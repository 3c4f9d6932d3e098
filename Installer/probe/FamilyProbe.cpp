#include "probe/FamilyProbe.h"

#include <windows.h>

#include <thread>

CFamilyProbe::CFamilyProbe(int (*probe)()) noexcept
{
    try
    {
        m_state = std::make_shared<State>();
        std::thread([state = m_state, probe] {
            int nFamily = 0;
            try
            {
                nFamily = probe();
            }
            catch (...)
            {
                // Out of memory: an unknown family.
            }
            state->nFamily.store(nFamily);
            state->bDone.store(true);
        }).detach();
    }
    catch (...)
    {
        ::OutputDebugStringA("The Windows family probe could not start\r\n");
        m_state.reset();
    }
}

std::optional<int> CFamilyProbe::Result() const noexcept
{
    if (!m_state)
        return 0; // never started: an unknown family, at once
    if (!m_state->bDone.load())
        return std::nullopt;
    return m_state->nFamily.load();
}
