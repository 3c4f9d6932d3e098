// File handles from CreateFileW: INVALID_HANDLE_VALUE means empty.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

struct FileHandleTraits : HandleTraitsBase<HANDLE, FileHandleTraits>
{
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { CloseHandle(h); }
};
using FileHandle = UniqueHandle<FileHandleTraits>;
