// Helpers of the network tests: the stand-in's URLs, scratch files, and recorders for what
// the transfers send to a progress bar, the debugger output and standard output.
#pragma once

#include "DebugOutputCapture.h"
#include "net/HttpRequest.h"

#include "../../tools/testprogs/SetupSettings.h"

#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

inline int StandInPort()
{
    const char* port = std::getenv("KVZ_STANDIN_PORT");
    return port ? std::atoi(port) : 0;
}

// Ports: +0 good certificate, +1 names another host, +2 expired, +3 plain http.
inline std::wstring Url(const std::wstring& scheme, int offset, const std::wstring& pathAndQuery)
{
    return scheme + L"://localhost:" + std::to_wstring(StandInPort() + offset) + pathAndQuery;
}

inline std::wstring Https(const std::wstring& pathAndQuery)
{
    return Url(L"https", 0, pathAndQuery);
}
inline std::wstring Http(const std::wstring& pathAndQuery)
{
    return Url(L"http", 3, pathAndQuery);
}

inline std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// One GET: true, with the body, when it was read whole.
inline bool GetJson(const std::wstring& url, std::string& body,
                    const net::TransferLimits& limits = net::kJsonRequestLimits)
{
    net::JsonReply reply = net::HttpGetJson(url, limits);
    body = std::move(reply.body);
    return reply.failure == net::TransferFailure::None;
}

inline bool RunningUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// What the stand-in generates for size=N: byte i is i % 251.
inline std::string GeneratedBody(std::size_t size)
{
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>(i % 251);
    return body;
}

inline std::wstring ScratchFolder()
{
    const char* tmp = std::getenv("KVZ_TEST_TMP");
    std::wstring folder;
    if (tmp)
        folder.assign(tmp, tmp + std::strlen(tmp));
    else
    {
        wchar_t path[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, path);
        folder = path;
    }
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

inline bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A request to the stand-in's control port (see standin.py); its answer.
inline std::string StandIn(const std::wstring& pathAndQuery)
{
    return net::HttpGetJson(Http(L"/_control/" + pathAndQuery), net::kJsonRequestLimits).body;
}

// A port of the stand-in that the system chose, by its name in /_control/ports ("userroot",
// "proxyonly", "proxy").
inline int StandInPort(const char* name)
{
    const std::string ports = StandIn(L"ports");
    const std::string key = "\"" + std::string(name) + "\": ";
    const std::size_t at = ports.find(key);
    return at == std::string::npos ? 0 : std::atoi(ports.c_str() + at + key.size());
}

// The port whose certificate comes from a CA that the prefix trusts in the user's own root
// store only.
inline int UserRootPort()
{
    static const int port = StandInPort("userroot");
    return port;
}

inline std::wstring UserRootUrl(const std::wstring& pathAndQuery)
{
    return L"https://localhost:" + std::to_wstring(UserRootPort()) + pathAndQuery;
}

// How often `needle` occurs in the stand-in's request log, read once it occurs `expected`
// times or after 5 s: the stand-in logs a refused connection only once it has ended.
inline std::size_t LoggedTimes(const std::string& needle, std::size_t expected)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;)
    {
        const std::string log = StandIn(L"log");
        std::size_t count = 0;
        for (std::size_t at = log.find(needle); at != std::string::npos;
             at = log.find(needle, at + 1))
            ++count;
        if (count >= expected || std::chrono::steady_clock::now() > deadline)
            return count;
        Sleep(50);
    }
}

// Sends this process's standard output to a file while alive; Text() reads what came.
class StdoutCapture
{
public:
    explicit StdoutCapture(const std::wstring& path) : m_path(path)
    {
        std::fflush(stdout);
        m_saved = _dup(_fileno(stdout));
        const int fd = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
        _dup2(fd, _fileno(stdout));
        _close(fd);
    }
    ~StdoutCapture() { Restore(); }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    std::string Text()
    {
        Restore();
        return ReadFileBytes(m_path);
    }

private:
    void Restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stdout);
        _dup2(m_saved, _fileno(stdout));
        _close(m_saved);
        m_saved = -1;
    }

    std::wstring m_path;
    int m_saved = -1;
};

// A real progress bar on a thread of its own, recording every PBM_SETPOS it is sent, the way
// the main window's thread serves a worker's download.
class ProgressBarThread
{
public:
    ProgressBarThread()
    {
        m_thread = std::thread([this] { Run(); });
        while (!m_ready.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~ProgressBarThread()
    {
        PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }
    ProgressBarThread(const ProgressBarThread&) = delete;
    ProgressBarThread& operator=(const ProgressBarThread&) = delete;

    HWND Window() const { return m_hWnd; }

    std::vector<int> Positions()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_positions;
    }

    int CurrentPosition() { return static_cast<int>(SendMessageW(m_hWnd, PBM_GETPOS, 0, 0)); }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<ProgressBarThread*>(GetPropW(hWnd, L"kvz.test"));
        if (self && message == PBM_SETPOS)
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_positions.push_back(static_cast<int>(wParam));
        }
        return CallWindowProcW(self ? self->m_original : DefWindowProcW, hWnd, message, wParam,
                               lParam);
    }

    void Run()
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        m_threadId = GetCurrentThreadId();
        m_hWnd = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_POPUP, 0, 0, 200, 20, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SendMessageW(m_hWnd, PBM_SETRANGE32, 0, 100);
        SetPropW(m_hWnd, L"kvz.test", this);
        m_original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the queue exists before we say ready
        m_ready = true;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_original));
        RemovePropW(m_hWnd, L"kvz.test");
        DestroyWindow(m_hWnd);
    }

    std::thread m_thread;
    std::atomic<bool> m_ready{false};
    DWORD m_threadId = 0;
    HWND m_hWnd = nullptr;
    WNDPROC m_original = nullptr;
    std::mutex m_mutex;
    std::vector<int> m_positions;
};

} // namespace nettest
