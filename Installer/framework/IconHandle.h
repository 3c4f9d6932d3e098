// Icons loaded or created without LR_SHARED, released with DestroyIcon.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

struct IconTraits : HandleTraitsBase<HICON, IconTraits>
{
    static HICON Invalid() noexcept { return nullptr; }
    static void Close(HICON h) noexcept { DestroyIcon(h); }
};

using UniqueIcon = UniqueHandle<IconTraits>;
