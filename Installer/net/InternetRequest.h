#pragma once
// The part of a GET that HttpGetJson and DownloadToFile share: URL splitting, session,
// connection and request with their options, sending under a deadline, reading, and the
// "Download error : " trace.

#include "framework/InternetHandle.h"
#include "net/TransferLimits.h"
#include "net/TransferRetry.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace net {

enum class UrlScheme
{
    Http,
    Https
};

struct CrackedUrl
{
    UrlScheme scheme = UrlScheme::Https;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object; // path and query
};

// Canonicalises in browser mode and cracks. False for anything but an http or https URL
// with a host.
bool CrackHttpUrl(const std::wstring& url, CrackedUrl& cracked);

// One sent request; closing runs request, connection, session, as members are destroyed
// in reverse order. When sending failed: why, and the WinINet code (0 when there is none).
struct CSentRequest
{
    InternetHandle session;
    InternetHandle connection;
    InternetHandle request;
    TransferFailure failure = TransferFailure::None;
    unsigned long error = 0;
};

using Clock = std::chrono::steady_clock;

// Opens the session, connects, opens "GET" with HTTP/1.0, adds each header if new and sends.
// The time-outs of the send are cut to what is left before `deadline`: under Wine nothing
// ends a blocked WinINet call from outside (closing its handles does not, nor does changing
// its time-outs once it runs), so only its own time-outs end it in time. Failures are traced.
bool OpenAndSendRequest(const CrackedUrl& url, const std::vector<std::wstring>& headers,
                        const TransferLimits& limits, Clock::time_point deadline,
                        CSentRequest& sent);

// The same on a helper thread, given up after limits.openDeadlineMs or at `notAfter`, whichever
// comes first (traced as a time-out): WinINet does not bound every stage of it everywhere.
bool SendGetRequest(const CrackedUrl& url, const std::vector<std::wstring>& headers,
                    const TransferLimits& limits, CSentRequest& sent,
                    Clock::time_point notAfter = Clock::time_point::max());

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

// Reads a body on a helper thread of its own, each piece waited for until a deadline only: a
// blocking read returns once its whole size is there, so a body that trickles in holds it for
// as long as the bytes keep coming (each renews the receive time-out), and nothing ends a
// blocked WinINet call from outside. The helper owns the request and both buffers, so a read
// left behind at the deadline touches nothing of the caller's, and it alone closes the request
// once that read ends. It reads the next piece while the caller writes the last, each read
// sized by NextReadSize from how long the one before took.
class CBodyReader
{
public:
    CBodyReader() = default;
    ~CBodyReader();
    CBodyReader(const CBodyReader&) = delete;
    CBodyReader& operator=(const CBodyReader&) = delete;

    // Takes `sent` over and starts reading its body: `length` bytes, or to its end when 0.
    // False when memory or a thread is missing; the request is closed then.
    bool Start(CSentRequest&& sent, std::uint64_t length);

    enum class Outcome
    {
        Read,        // `data` holds the next `received` bytes (0: the end) until the next call
        Failed,      // a read failed: traced, GetLastError says why
        PastDeadline // nothing came in time; the helper's read is left to end alone
    };
    Outcome Next(Clock::time_point deadline, const char*& data, unsigned long& received);

private:
    struct State;
    static void Serve(State& state);

    std::shared_ptr<State> m_state;
    std::thread m_helper;
    bool m_pastDeadline = false;
};

// The reply's status code, -1 when it cannot be read.
int QueryStatusCode(HINTERNET request);

// The announced Content-Length, 0 when absent or no number.
std::uint64_t QueryContentLength(HINTERNET request);

// The first header `name` of the reply, empty when absent or longer than 1000 characters.
std::wstring QueryHeader(HINTERNET request, const wchar_t* name);

// One InternetReadFile; a failure is traced and returns false with GetLastError still
// telling why. 0 bytes read is the end.
bool ReadChunk(HINTERNET request, void* buffer, unsigned long size, unsigned long& received);

// One InternetReadFile of what InternetQueryDataAvailable reports has arrived (at least 1
// byte, at most `maxSize`). A blocking read returns only once its whole size is there, so
// this one returns as soon as anything arrives: a helper told to stop sees it at its next
// read even when the body trickles. Failures as ReadChunk.
bool ReadAvailable(HINTERNET request, void* buffer, unsigned long maxSize, unsigned long& received);

// WinINet's text for an error (or the server's last response text for an extended error),
// cut to 255 characters. Call it on the thread where the error happened.
std::wstring InternetErrorText(unsigned long error);

// "Download error : " and the message, as two debugger outputs.
void TraceDownloadError(const std::wstring& message);

// A failed call: traced with WinINet's text for `error`, and logged as `what` with the code.
// Call it on the thread where the error happened.
void ReportDownloadError(std::wstring_view what, unsigned long error);

// A failure without an error code: traced and logged as `message`.
void ReportDownloadProblem(const std::wstring& message);

// Text from the network for a log line, escaped as EscapeForLog does, since it may say anything.
std::wstring TextForLog(const std::wstring& text);

// The URL for a log line, escaped the same way.
std::wstring UrlForLog(const CrackedUrl& url);

// Asks `budget` whether `failure` gets another attempt; if so logs why, with `what` (the
// transfer, for the log), and waits the pause. False when the failure stands.
bool PauseBeforeRetry(CRetryBudget& budget, TransferFailure failure, bool madeProgress,
                      const std::wstring& what);

} // namespace net
