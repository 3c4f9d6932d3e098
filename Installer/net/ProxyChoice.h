#pragma once
// Which proxy the installer's requests go through, and why: the /proxy switch, else the machine
// policy, else the running account's own settings; under LocalSystem, whose own settings are
// normally empty, the machine's WinHTTP proxy and then proxy auto-discovery. Pure: the caller
// gathers the settings. No windows.h here.

#include <functional>
#include <optional>
#include <string>

namespace net {

// "http://host:port" or "host:port" (a trailing "/" allowed): the proxy as WinINet takes it,
// "host:port", with a host name, IPv4 address or [IPv6] address and a port from 1 to 65535.
// Empty for anything else: another scheme, credentials, a path, no port.
std::optional<std::wstring> ParseProxyValue(const std::wstring& text);

enum class ProxySource
{
    Switch,         // /proxy
    Policy,         // HKLM\SOFTWARE\Policies\KVZ7300, Proxy
    Account,        // the running account's own settings, as WinINet reads them
    MachineWinHttp, // what `netsh winhttp set proxy` wrote (LocalSystem only)
    AutoDiscovery,  // Windows' proxy auto-discovery for the URL (LocalSystem only)
};

struct ProxySettings
{
    std::wstring switchValue; // checked by the command line's parser; empty: none
    std::wstring policyValue; // as the registry holds it; a malformed one is passed over
    bool bLocalSystem = false;
    // The account's own settings name a proxy, a configuration script or auto-detection.
    bool bAccountHasProxy = false;
    // Asked only when the order reaches them; empty: none.
    std::function<std::wstring()> machineWinHttp;
    std::function<std::wstring()> autoDiscovery;
};

struct ProxyChoice
{
    ProxySource source = ProxySource::Account;
    std::wstring proxy;      // "host:port"; empty with Account
    std::wstring passedOver; // a malformed policy value, for the log
};

ProxyChoice ChooseProxy(const ProxySettings& settings);

// One line for the log: which proxy, and why.
std::wstring DescribeProxyChoice(const ProxyChoice& choice);

} // namespace net
