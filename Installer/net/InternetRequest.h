#pragma once
// The part of a GET that HttpGetJson and DownloadToFile share: URL splitting, session,
// connection and request with their options, sending under a deadline, reading, and the
// "Download error : " trace.

#include "framework/InternetHandle.h"
#include "net/TransferLimits.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace net {

enum class UrlScheme { Http, Https };

struct CrackedUrl {
    UrlScheme scheme = UrlScheme::Https;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object; // path and query
};

// Canonicalises in browser mode and cracks. False for anything but an http or https URL
// with a host.
bool CrackHttpUrl(const std::wstring& url, CrackedUrl& cracked);

// One sent request; closing runs request, connection, session, as members are destroyed
// in reverse order.
struct SentRequest {
    InternetHandle session;
    InternetHandle connection;
    InternetHandle request;
};

// Opens the session, connects, opens "GET" with HTTP/1.0, adds each header if new and sends.
// Failures are traced.
bool OpenAndSendRequest(const CrackedUrl& url, const std::vector<std::wstring>& headers,
                        const TransferLimits& limits, SentRequest& sent);

// The same on a helper thread, given up after limits.openDeadlineMs (traced as a time-out):
// WinINet does not bound every stage of it everywhere.
bool SendGetRequest(const CrackedUrl& url, const std::vector<std::wstring>& headers,
                    const TransferLimits& limits, SentRequest& sent);

// Runs `work` (which returns a Result) on a helper thread and waits up to `deadlineMs`.
// On time-out the helper is left to finish alone, so `work` must own all it touches: it
// captures by value, and its result is dropped with the shared state.
template <typename Result, typename Work>
bool RunWithDeadline(Work work, unsigned long deadlineMs, Result& result)
{
    struct State {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        Result result{};
    };
    auto state = std::make_shared<State>();
    try {
        std::thread([state, work]() mutable {
            Result local{};
            try {
                local = work();
            } catch (...) {
                // Memory ran out: the default result is the failure.
            }
            std::lock_guard<std::mutex> lock(state->mutex);
            state->result = std::move(local);
            state->done = true;
            state->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    std::unique_lock<std::mutex> lock(state->mutex);
    if (!state->finished.wait_for(lock, std::chrono::milliseconds(deadlineMs),
                                  [&] { return state->done; }))
        return false;
    result = std::move(state->result);
    return true;
}

// The reply's status code, -1 when it cannot be read.
int QueryStatusCode(HINTERNET request);

// The announced Content-Length, 0 when absent or no number.
std::uint64_t QueryContentLength(HINTERNET request);

// One InternetReadFile; a failure is traced and returns false.
bool ReadChunk(HINTERNET request, void* buffer, unsigned long size, unsigned long& received);

// WinINet's text for an error (or the server's last response text for an extended error),
// cut to 255 characters. Call it on the thread where the error happened.
std::wstring InternetErrorText(unsigned long error);

// "Download error : " and the message, as two debugger outputs.
void TraceDownloadError(const std::wstring& message);

} // namespace net
