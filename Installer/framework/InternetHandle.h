// WinINet handles (sessions, connections, requests): null means empty.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

#include <wininet.h>

struct InternetHandleTraits : HandleTraitsBase<HINTERNET, InternetHandleTraits>
{
    static HINTERNET Invalid() noexcept { return nullptr; }
    static void Close(HINTERNET h) noexcept { InternetCloseHandle(h); }
};
using InternetHandle = UniqueHandle<InternetHandleTraits>;
