// Shared piece of the handle traits: release a handle without disturbing GetLastError.
#pragma once

#include <windows.h>

template <typename T, typename Derived>
struct HandleTraitsBase
{
    using Type = T;
    static void CloseKeepingError(T value) noexcept
    {
        const DWORD error = GetLastError();
        Derived::Close(value);
        SetLastError(error);
    }
};
