#include "net/ProxySetup.h"

#include "log/SupportLog.h"
#include "storage/WorkFolder.h"

#include <windows.h>
#include <winhttp.h>

#include <mutex>
#include <sstream>

namespace net {

namespace {

constexpr const wchar_t* kPolicyKey = L"SOFTWARE\\Policies\\KVZ7300";
// Auto-discovery asks DHCP and DNS; a network without an answer must not hold a run for long.
constexpr int kDiscoveryTimeoutMs = 5000;

std::wstring g_switchProxy;

// Frees what WinHTTP allocated for the caller.
struct GlobalText
{
    LPWSTR text = nullptr;
    ~GlobalText()
    {
        if (text)
            GlobalFree(text);
    }
};

std::wstring PolicyProxy()
{
    wchar_t value[512] = {};
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"Proxy",
                     RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, value, &size) != ERROR_SUCCESS)
        return std::wstring();
    return value;
}

bool AccountHasProxy()
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
        return false;
    const GlobalText proxy{config.lpszProxy};
    const GlobalText script{config.lpszAutoConfigUrl};
    const GlobalText bypass{config.lpszProxyBypass};
    return config.fAutoDetect || proxy.text || script.text;
}

// "host:port", "https=host:port;http=other:80" or a list of plain entries: the one for https.
std::wstring ProxyForHttps(const std::wstring& list)
{
    std::wistringstream entries(list);
    std::wstring first;
    for (std::wstring entry; std::getline(entries, entry, L';');)
    {
        entry.erase(0, entry.find_first_not_of(L' '));
        const std::size_t equals = entry.find(L'=');
        if (equals == std::wstring::npos)
        {
            if (first.empty())
                first = entry;
        }
        else if (entry.compare(0, equals, L"https") == 0)
            return entry.substr(equals + 1);
    }
    return first;
}

std::wstring NamedProxyOf(const WINHTTP_PROXY_INFO& info)
{
    const GlobalText proxy{info.lpszProxy};
    const GlobalText bypass{info.lpszProxyBypass};
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || !proxy.text)
        return std::wstring();
    return ProxyForHttps(proxy.text);
}

std::wstring DiscoveredProxy(const std::wstring& url)
{
    const HINTERNET session = WinHttpOpen(L"KVZ7300 installer", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                          WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session)
        return std::wstring();
    WinHttpSetTimeouts(session, kDiscoveryTimeoutMs, kDiscoveryTimeoutMs, kDiscoveryTimeoutMs,
                       kDiscoveryTimeoutMs);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    // Whoever answers discovery could ask for the computer's logon and relay it.
    options.fAutoLogonIfChallenged = FALSE;
    WINHTTP_PROXY_INFO info{};
    std::wstring proxy;
    if (WinHttpGetProxyForUrl(session, url.c_str(), &options, &info))
        proxy = NamedProxyOf(info);
    WinHttpCloseHandle(session);
    return proxy;
}

} // namespace

void SetProxyFromSwitch(const std::wstring& proxy)
{
    g_switchProxy = proxy;
}

std::wstring MachineWinHttpProxy()
{
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetDefaultProxyConfiguration(&info))
        return std::wstring();
    return NamedProxyOf(info);
}

const ProxyChoice& ProxyForRequests(const std::wstring& url)
{
    static std::once_flag s_once;
    static ProxyChoice s_choice;
    std::call_once(s_once, [&url] {
        ProxySettings settings;
        settings.switchValue = g_switchProxy;
        settings.policyValue = PolicyProxy();
        settings.bLocalSystem = RunsAsLocalSystem();
        settings.bAccountHasProxy = AccountHasProxy();
        settings.machineWinHttp = MachineWinHttpProxy;
        settings.autoDiscovery = [url] { return DiscoveredProxy(url); };
        s_choice = ChooseProxy(settings);
        LogEvent(DescribeProxyChoice(s_choice));
    });
    return s_choice;
}

} // namespace net
