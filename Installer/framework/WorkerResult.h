// A value that a detached worker computes once: the window's thread reads it without waiting,
// other workers may wait for it, and whoever asked is told when it arrives. Shared with the
// worker through a shared_ptr, so it outlives whichever side ends first.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

template <typename T>
class CWorkerResult
{
public:
    // Once, on the worker. The listener runs on the worker's thread, outside the lock.
    void Set(T value) noexcept
    {
        std::function<void()> listener;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_value.emplace(std::move(value));
            listener = std::move(m_listener);
        }
        m_done.notify_all();
        if (listener)
            listener();
    }

    // Null while the worker is busy; the value never changes once set.
    const T* Get() const noexcept
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_value ? &*m_value : nullptr;
    }

    // For other workers only: the window's thread never waits.
    const T* WaitFor(std::chrono::milliseconds timeout) const noexcept
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait_for(lock, timeout, [this] { return m_value.has_value(); });
        return m_value ? &*m_value : nullptr;
    }

    // Calls `listener` once the value is there: at once when it already is.
    void WhenSet(std::function<void()> listener) noexcept
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_value)
            {
                m_listener = std::move(listener);
                return;
            }
        }
        if (listener)
            listener();
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_done;
    std::optional<T> m_value;
    std::function<void()> m_listener;
};
