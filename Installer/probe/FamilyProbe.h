// The Windows family asked on a worker of its own, started before the window is built, so
// that a WMI service that never answers holds up nobody. The worker shares only its result and
// is never joined: when the window closes, the process ends without it.
#pragma once

#include "framework/WorkerResult.h"

#include <functional>
#include <memory>
#include <optional>

class CFamilyProbe
{
public:
    // Starts `probe` (GetWindowsFamily in the program) on the worker, once `first` has returned
    // there (when given).
    explicit CFamilyProbe(int (*probe)(), std::function<void()> first = {}) noexcept;

    // The family once the worker has it (0 when WMI could not tell); empty while it asks.
    std::optional<int> Result() const noexcept;

    // Calls `listener` on the worker once the family is known, or at once when it already is.
    void WhenDone(std::function<void()> listener) const noexcept;

private:
    std::shared_ptr<CWorkerResult<int>> m_result;
};
