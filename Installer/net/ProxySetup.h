#pragma once
// The proxy every request of this process goes through (ProxyChoice.h): the machine's and the
// run's settings gathered once, at the first request, and the choice logged once.

#include "net/ProxyChoice.h"

#include <string>

namespace net {

// The /proxy switch's proxy ("host:port", checked), set before the first request.
void SetProxyFromSwitch(const std::wstring& proxy);

// The choice, made at the first call; auto-discovery is asked for `url`, the first request's.
const ProxyChoice& ProxyForRequests(const std::wstring& url);

// The machine's WinHTTP proxy (`netsh winhttp set proxy`) as the choice reads it: the https
// entry of its list, else its first plain one; empty when it names none.
std::wstring MachineWinHttpProxy();

} // namespace net
