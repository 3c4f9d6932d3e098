#pragma once

#include <unknwn.h>

#include <utility>

// Owns one reference to a COM interface.
template <class T>
class ComPtr
{
public:
    ComPtr() noexcept = default;
    explicit ComPtr(T* p) noexcept : m_p(p) {}
    ~ComPtr() { reset(); }

    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(other.release()) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    T* get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    // Gives up ownership without releasing.
    T* release() noexcept { return std::exchange(m_p, nullptr); }

    void reset(T* p = nullptr) noexcept
    {
        T* old = std::exchange(m_p, p);
        if (old)
            old->Release();
    }

    // For out-parameters: releases the current interface first.
    T** put() noexcept
    {
        reset();
        return &m_p;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* m_p = nullptr;
};
