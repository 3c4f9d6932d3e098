// Kernel object handles (processes, threads, events): null means empty.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

struct KernelHandleTraits : HandleTraitsBase<HANDLE, KernelHandleTraits>
{
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { CloseHandle(h); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;
