#pragma once
// Work that WinINet may block in for longer than the caller may wait: run on a helper thread and
// given up at a deadline, without the helper ever touching what the caller owns afterwards.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace net {

using Clock = std::chrono::steady_clock;

// Set by the waiting side when it gives up on a request.
using StopFlag = std::atomic<bool>;

// How long the waiting side, having given up, waits for the helper to end.
constexpr std::chrono::milliseconds kHelperEndGrace{1000};

// Runs `work(stop)` (which returns a Result) on a helper thread and waits until `deadline`.
// On time-out `stop` is set. The helper checks it between its blocking steps, whose waits
// end by themselves (the send's time-outs end at the deadline, a read of what has arrived at
// the next bytes), so it normally ends within kHelperEndGrace and is joined: its handles are
// closed by then, by it alone, and no handle is used after it was closed. A helper still
// blocked after that (a body that stops arriving, until its receive time-out; under Wine, a
// TLS handshake the server never answers, until the server closes: nothing bounds or
// interrupts that one) is left to end alone: `work` owns all it touches (it captures by value,
// its result dies with the shared state), so nothing of the caller's is touched after return.
template <typename Result, typename Work>
bool RunWithDeadline(Work work, Clock::time_point deadline, Result& result)
{
    struct State
    {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        StopFlag stop{false};
        Result result{};
    };
    auto state = std::make_shared<State>();
    std::thread helper;
    try
    {
        helper = std::thread([state, work]() mutable {
            Result local{};
            try
            {
                local = work(state->stop);
            }
            catch (...)
            {
                // Memory ran out: the default result is the failure.
            }
            std::lock_guard<std::mutex> lock(state->mutex);
            state->result = std::move(local);
            state->done = true;
            state->finished.notify_all();
        });
    }
    catch (const std::system_error&)
    {
        return false;
    }
    std::unique_lock<std::mutex> lock(state->mutex);
    const bool inTime = state->finished.wait_until(lock, deadline, [&] { return state->done; });
    if (inTime)
    {
        result = std::move(state->result);
    }
    else
    {
        state->stop = true;
        state->finished.wait_for(lock, kHelperEndGrace, [&] { return state->done; });
    }
    const bool ended = state->done;
    lock.unlock();
    if (ended)
        helper.join();
    else
        helper.detach();
    return inTime;
}

} // namespace net
