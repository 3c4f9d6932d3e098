#include "net/BodyReader.h"

#include "net/TransferLog.h"
#include "net/TransferMath.h"

#include <optional>

namespace net {

// Two buffers: the helper fills one while the caller holds the other. Pieces go to the caller
// in order, one at a time.
struct CBodyReader::State
{
    struct Piece
    {
        int buffer = 0;
        unsigned long size = 0;
        bool ok = true;
        unsigned long error = 0;
    };

    std::mutex mutex;
    std::condition_variable changed;
    CSentRequest sent;
    std::uint64_t length = 0;
    std::unique_ptr<char[]> buffers[2];
    std::optional<Piece> ready; // read, not yet taken
    int lent = -1;              // the buffer the caller holds
    bool stop = false;
    bool ended = false;
};

void CBodyReader::Serve(State& state)
{
    std::unique_lock<std::mutex> lock(state.mutex);
    unsigned long readSize = kMinReadBytes;
    std::uint64_t read = 0;
    for (int next = 0; !state.stop; next ^= 1)
    {
        if (state.length != 0 && read >= state.length)
            break;
        state.changed.wait(lock, [&] {
            return state.stop ||
                   (state.lent != next && !(state.ready && state.ready->buffer == next));
        });
        if (state.stop)
            break;
        unsigned long size = readSize;
        if (state.length != 0)
            size = static_cast<unsigned long>(std::min<std::uint64_t>(size, state.length - read));
        lock.unlock();
        const auto start = Clock::now();
        State::Piece piece;
        piece.buffer = next;
        piece.ok = ReadChunk(state.sent.request.get(), state.buffers[next].get(), size, piece.size);
        piece.error = piece.ok ? 0 : GetLastError();
        const auto took =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
        lock.lock();
        state.changed.wait(lock, [&] { return state.stop || !state.ready; });
        if (state.stop)
            break;
        state.ready = piece;
        state.changed.notify_all();
        if (!piece.ok || piece.size == 0)
            break;
        read += piece.size;
        readSize = NextReadSize(readSize, static_cast<std::uint64_t>(took.count()));
    }
    state.ended = true;
    state.changed.notify_all();
}

bool CBodyReader::Start(CSentRequest&& sent, std::uint64_t length)
{
    std::shared_ptr<State> state;
    try
    {
        state = std::make_shared<State>();
    }
    catch (const std::bad_alloc&)
    {
        sent = CSentRequest();
        return false;
    }
    state->sent = std::move(sent);
    state->length = length;
    for (std::unique_ptr<char[]>& buffer : state->buffers)
    {
        buffer.reset(new (std::nothrow) char[kMaxReadBytes]);
        if (!buffer)
            return false;
    }
    try
    {
        m_helper = std::thread([state] { Serve(*state); });
    }
    catch (const std::system_error&)
    {
        return false;
    }
    m_state = std::move(state);
    return true;
}

CBodyReader::Outcome CBodyReader::Next(Clock::time_point deadline, const char*& data,
                                       unsigned long& received)
{
    if (m_pastDeadline)
        return Outcome::PastDeadline;
    State& state = *m_state;
    std::unique_lock<std::mutex> lock(state.mutex);
    state.lent = -1;
    state.changed.notify_all();
    if (!state.changed.wait_until(lock, deadline, [&] { return state.ready.has_value(); }))
    {
        m_pastDeadline = true;
        return Outcome::PastDeadline;
    }
    const State::Piece piece = *state.ready;
    state.ready.reset();
    state.lent = piece.buffer;
    state.changed.notify_all();
    lock.unlock();
    data = state.buffers[piece.buffer].get();
    received = piece.size;
    if (piece.ok)
        return Outcome::Read;
    SetLastError(piece.error);
    return Outcome::Failed;
}

CBodyReader::~CBodyReader()
{
    if (!m_state)
        return;
    std::unique_lock<std::mutex> lock(m_state->mutex);
    m_state->stop = true;
    m_state->changed.notify_all();
    const bool ended =
        m_state->changed.wait_for(lock, kHelperEndGrace, [&] { return m_state->ended; });
    lock.unlock();
    if (ended)
        m_helper.join();
    else
        m_helper.detach();
}

} // namespace net
