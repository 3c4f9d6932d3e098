#pragma once

#include <objbase.h>
#include <winerror.h>

// Enters a COM apartment for the guard's lifetime. Only a successful CoInitializeEx
// (S_OK or S_FALSE) is undone; RPC_E_CHANGED_MODE means the thread already lives in
// another apartment, which belongs to the caller and is left alone.
class ComApartment
{
public:
    explicit ComApartment(DWORD coInit) noexcept : m_hr(CoInitializeEx(nullptr, coInit)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }

    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    HRESULT result() const noexcept { return m_hr; }
    // COM is usable on this thread, in this apartment or the caller's.
    bool usable() const noexcept { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_hr;
};
