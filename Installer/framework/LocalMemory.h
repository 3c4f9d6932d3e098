// Local memory that an API allocated with LocalAlloc for its caller, released with LocalFree.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

struct LocalMemoryTraits : HandleTraitsBase<HLOCAL, LocalMemoryTraits>
{
    static HLOCAL Invalid() noexcept { return nullptr; }
    static void Close(HLOCAL h) noexcept { LocalFree(h); }
};
using UniqueLocal = UniqueHandle<LocalMemoryTraits>;
