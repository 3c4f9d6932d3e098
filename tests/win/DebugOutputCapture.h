// Collects this process's debugger output lines while alive, through the DBWIN buffer that
// OutputDebugString fills for a monitor when no debugger is attached (Windows and Wine).
// OutputDebugStringW's text arrives there too, converted to the ANSI code page.
#pragma once

#include "framework/KernelHandle.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class DebugOutputCapture
{
public:
    DebugOutputCapture()
    {
        // One monitor per session: tests of other processes in this prefix queue here.
        m_lock.reset(CreateMutexW(nullptr, FALSE, L"KvzDebugOutputCaptureLock"));
        if (m_lock)
            WaitForSingleObject(m_lock.get(), 60000);
        m_bufferReady.reset(CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY"));
        m_dataReady.reset(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
        m_mapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                           L"DBWIN_BUFFER"));
        if (m_mapping)
            m_view =
                static_cast<const char*>(MapViewOfFile(m_mapping.get(), FILE_MAP_READ, 0, 0, 0));
        if (m_bufferReady && m_dataReady && m_view)
            m_thread = std::thread([this] { Listen(); });
    }

    ~DebugOutputCapture()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_view)
            UnmapViewOfFile(m_view);
        if (m_lock)
            ReleaseMutex(m_lock.get());
    }

    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    bool Ready() const { return m_thread.joinable(); }

    // The lines written so far. A writer returns before the monitor has read its line, so
    // a marker line is sent through and waited for: everything before it has been read.
    std::vector<std::string> Lines()
    {
        const std::string marker = "<capture sync " + std::to_string(++m_syncCount) + ">";
        OutputDebugStringA(marker.c_str());
        std::unique_lock<std::mutex> guard(m_mutex);
        const bool bSynced = m_seen.wait_for(guard, std::chrono::seconds(10), [&] {
            return std::find(m_lines.begin(), m_lines.end(), marker) != m_lines.end();
        });
        std::vector<std::string> lines;
        for (const std::string& line : m_lines)
        {
            if (line.compare(0, 14, "<capture sync ") != 0)
                lines.push_back(line);
        }
        // Without its marker the capture may have missed the lines under test as well.
        if (!bSynced)
            lines.push_back("<capture lost: no sync marker came through>");
        return lines;
    }

    // The lines as one text, each ended by a line feed: for tests that look for a phrase.
    std::string Text()
    {
        std::string text;
        for (const std::string& line : Lines())
            text += line + '\n';
        return text;
    }

private:
    void Listen()
    {
        const DWORD self = GetCurrentProcessId();
        while (!m_stop)
        {
            if (WaitForSingleObject(m_dataReady.get(), 50) != WAIT_OBJECT_0)
                continue;
            DWORD pid = 0;
            memcpy(&pid, m_view, sizeof(pid));
            const char* text = m_view + sizeof(DWORD);
            const std::string line(text, strnlen(text, 4096 - sizeof(DWORD)));
            if (pid == self)
            {
                std::lock_guard<std::mutex> guard(m_mutex);
                m_lines.push_back(line);
                m_seen.notify_all();
            }
            SetEvent(m_bufferReady.get());
        }
    }

    KernelHandle m_lock;
    KernelHandle m_bufferReady;
    KernelHandle m_dataReady;
    KernelHandle m_mapping;
    const char* m_view = nullptr;
    std::atomic<bool> m_stop{false};
    int m_syncCount = 0;
    std::mutex m_mutex;
    std::condition_variable m_seen;
    std::vector<std::string> m_lines;
    std::thread m_thread;
};
