// Movable global memory from GlobalAlloc, released with GlobalFree.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

struct GlobalMemoryTraits : HandleTraitsBase<HGLOBAL, GlobalMemoryTraits>
{
    static HGLOBAL Invalid() noexcept { return nullptr; }
    static void Close(HGLOBAL h) noexcept { GlobalFree(h); }
};

using UniqueGlobal = UniqueHandle<GlobalMemoryTraits>;
