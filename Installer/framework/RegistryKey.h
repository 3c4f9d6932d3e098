// Registry keys: null means empty.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

struct RegistryKeyTraits : HandleTraitsBase<HKEY, RegistryKeyTraits>
{
    static HKEY Invalid() noexcept { return nullptr; }
    static void Close(HKEY h) noexcept { RegCloseKey(h); }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;
