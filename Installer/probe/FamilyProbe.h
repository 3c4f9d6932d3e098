// The Windows family asked on a worker of its own, started before the window is built, so
// that a WMI service that never answers holds up nobody. The worker shares only the state
// below and is never joined: when the window closes, the process ends without it.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class CFamilyProbe
{
public:
    // Starts `probe` (GetWindowsFamily in the program) on the worker, once `first` has returned
    // there (when given).
    explicit CFamilyProbe(int (*probe)(), std::function<void()> first = {}) noexcept;

    // The family once the worker has it (0 when WMI could not tell); empty while it asks.
    std::optional<int> Result() const noexcept;

    // Posts `nMsg` to `hWnd` once the family is known (at once when it already is), so the
    // window need not look for it.
    void PostWhenDone(HWND hWnd, UINT nMsg) const noexcept;

private:
    struct State
    {
        std::atomic<bool> bDone{false};
        std::atomic<int> nFamily{0};
        std::mutex mutex; // the window to tell, set once
        HWND hWnd = nullptr;
        UINT nMsg = 0;
    };
    std::shared_ptr<State> m_state;
};
