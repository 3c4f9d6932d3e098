#pragma once
// A reply's body read under a deadline.

#include "net/Deadline.h"
#include "net/InternetRequest.h"

#include <cstdint>
#include <memory>
#include <thread>

namespace net {

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

} // namespace net
