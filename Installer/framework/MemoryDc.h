// Memory device contexts from CreateCompatibleDC, released with DeleteDC.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

struct MemoryDcTraits : HandleTraitsBase<HDC, MemoryDcTraits>
{
    static HDC Invalid() noexcept { return nullptr; }
    static void Close(HDC h) noexcept { DeleteDC(h); }
};

using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
