// Directory enumeration handles from FindFirstFileW: INVALID_HANDLE_VALUE means empty.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

struct FindHandleTraits : HandleTraitsBase<HANDLE, FindHandleTraits>
{
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { FindClose(h); }
};
using FindHandle = UniqueHandle<FindHandleTraits>;
