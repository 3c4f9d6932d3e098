// One move-only owner for any handle type. A Traits type gives the empty value and the
// release call:
//   struct Traits { using Type = HANDLE; static Type Invalid() noexcept; static void Close(Type)
//   noexcept; };
#pragma once

#include <utility>

template <typename Traits>
class UniqueHandle
{
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type value) noexcept : m_value(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type get() const noexcept { return m_value; }
    explicit operator bool() const noexcept { return m_value != Traits::Invalid(); }

    Type release() noexcept { return std::exchange(m_value, Traits::Invalid()); }

    // Keeps the caller's last-error value: callers read GetLastError after a failed call and
    // the clean-up must not overwrite it.
    void reset(Type value = Traits::Invalid()) noexcept
    {
        Type old = std::exchange(m_value, value);
        if (old != Traits::Invalid())
            Traits::CloseKeepingError(old);
    }

    // For out-parameters: frees the old value first.
    Type* put() noexcept
    {
        reset();
        return &m_value;
    }

private:
    Type m_value = Traits::Invalid();
};

// Runs a callable on scope exit, for the odd one-off clean-up.
template <typename F>
class ScopeExit
{
public:
    explicit ScopeExit(F f) noexcept : m_f(std::move(f)) {}
    ~ScopeExit()
    {
        if (m_armed)
            m_f();
    }
    void Dismiss() noexcept { m_armed = false; }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F m_f;
    bool m_armed = true;
};
