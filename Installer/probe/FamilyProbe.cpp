#include "probe/FamilyProbe.h"

#include <windows.h>

#include <thread>

CFamilyProbe::CFamilyProbe(int (*probe)(), std::function<void()> first) noexcept
{
    try
    {
        m_state = std::make_shared<State>();
        std::thread([state = m_state, probe, first = std::move(first)] {
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
            state->nFamily.store(nFamily);
            std::lock_guard<std::mutex> lock(state->mutex);
            state->bDone.store(true);
            if (state->hWnd)
                ::PostMessageW(state->hWnd, state->nMsg, 0, 0);
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

void CFamilyProbe::PostWhenDone(HWND hWnd, UINT nMsg) const noexcept
{
    if (!m_state)
    {
        ::PostMessageW(hWnd, nMsg, 0, 0);
        return;
    }
    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (m_state->bDone.load())
        ::PostMessageW(hWnd, nMsg, 0, 0);
    else
    {
        m_state->hWnd = hWnd;
        m_state->nMsg = nMsg;
    }
}
