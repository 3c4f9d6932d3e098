#pragma once
// Everything that reaches the main window from other threads, kept until the window's thread
// applies it under one posted message: the newest state of each control the workflows asked
// for, the Windows family and the banner having arrived, and a passive run's end. A worker
// never waits for the window's thread, and that thread holds the lock only to take the requests
// out. Once the window is gone, requests are dropped.

#include "workflows/Commands.h"

#include <array>
#include <mutex>
#include <optional>
#include <string>

class CWorkerRequests
{
public:
    static constexpr int kBars = kCommandCount; // indexed by Command

    struct Bar
    {
        std::optional<int> position;
        std::optional<bool> visible;
    };
    struct Batch
    {
        std::optional<std::wstring> status;
        std::array<Bar, kBars> bars;
        bool bFamilyKnown = false;
        bool bBannerReady = false;
        std::optional<int> runEnded; // a passive run's exit code
    };

    // Each returns true when the window must be woken for it: the first request since the
    // window last took them, unless the window is gone.
    bool SetStatus(std::wstring text);
    bool ShowBar(int bar); // at 0
    bool MoveBar(int bar, int position);
    bool HideBar(int bar);
    bool FamilyKnown();
    bool BannerReady();
    bool RunEnded(int exitCode);

    // What is pending, for the window's thread to apply (positions before visibility).
    Batch Take();
    // A wake-up that could not be delivered: the next request tries again, and WakeMissed says
    // so to the window's timer until the window takes the requests.
    void WakeFailed();
    bool WakeMissed();
    // The window is gone: every later request is dropped.
    void Close();

private:
    template <typename Change>
    bool Request(Change change);

    std::mutex m_mutex;
    Batch m_pending;
    bool m_bWoken = false;
    bool m_bMissed = false;
    bool m_bClosed = false;
};
