#include "net/ProxyChoice.h"

#include <algorithm>
#include <cwctype>
#include <utility>

namespace net {

namespace {

bool IsNameCharacter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'.' || c == L'-' || c == L'_';
}

bool IsValidHost(const std::wstring& host)
{
    if (host.empty() || host.size() > 255)
        return false;
    if (host.front() == L'[')
    {
        if (host.size() < 4 || host.back() != L']')
            return false;
        for (std::size_t i = 1; i + 1 < host.size(); ++i)
            if (!std::iswxdigit(host[i]) && host[i] != L':' && host[i] != L'.')
                return false;
        return true;
    }
    for (const wchar_t c : host)
        if (!IsNameCharacter(c))
            return false;
    return host.front() != L'.' && host.front() != L'-';
}

bool IsValidPort(const std::wstring& port)
{
    if (port.empty() || port.size() > 5)
        return false;
    unsigned long value = 0;
    for (const wchar_t c : port)
    {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + static_cast<unsigned long>(c - L'0');
    }
    return value >= 1 && value <= 65535;
}

} // namespace

std::optional<std::wstring> ParseProxyValue(const std::wstring& text)
{
    std::wstring rest = text;
    const std::wstring scheme = L"http://";
    if (rest.size() >= scheme.size() &&
        std::equal(scheme.begin(), scheme.end(), rest.begin(),
                   [](wchar_t a, wchar_t b) { return a == std::towlower(b); }))
        rest.erase(0, scheme.size());
    if (!rest.empty() && rest.back() == L'/')
        rest.pop_back();
    const std::size_t colon = rest.rfind(L':');
    if (colon == std::wstring::npos)
        return std::nullopt;
    const std::wstring host = rest.substr(0, colon);
    const std::wstring port = rest.substr(colon + 1);
    if (!IsValidHost(host) || !IsValidPort(port))
        return std::nullopt;
    return host + L":" + port;
}

ProxyChoice ChooseProxy(const ProxySettings& settings)
{
    ProxyChoice choice;
    if (!settings.switchValue.empty())
    {
        choice.source = ProxySource::Switch;
        choice.proxy = settings.switchValue;
        return choice;
    }
    if (!settings.policyValue.empty())
    {
        if (const auto policy = ParseProxyValue(settings.policyValue))
        {
            choice.source = ProxySource::Policy;
            choice.proxy = *policy;
            return choice;
        }
        choice.passedOver = settings.policyValue;
    }
    if (settings.bLocalSystem && !settings.bAccountHasProxy)
    {
        const std::pair<ProxySource, const std::function<std::wstring()>*> machine[] = {
            {ProxySource::MachineWinHttp, &settings.machineWinHttp},
            {ProxySource::AutoDiscovery, &settings.autoDiscovery}};
        for (const auto& [source, ask] : machine)
        {
            const std::wstring found = *ask ? (*ask)() : std::wstring();
            if (const auto proxy = found.empty() ? std::nullopt : ParseProxyValue(found))
            {
                choice.source = source;
                choice.proxy = *proxy;
                return choice;
            }
        }
    }
    choice.source = ProxySource::Account;
    return choice;
}

std::wstring DescribeProxyChoice(const ProxyChoice& choice)
{
    std::wstring text;
    switch (choice.source)
    {
    case ProxySource::Switch: text = L"Proxy " + choice.proxy + L", from /proxy"; break;
    case ProxySource::Policy: text = L"Proxy " + choice.proxy + L", from the machine policy"; break;
    case ProxySource::MachineWinHttp:
        text = L"Proxy " + choice.proxy + L", the machine's WinHTTP proxy (LocalSystem)";
        break;
    case ProxySource::AutoDiscovery:
        text = L"Proxy " + choice.proxy + L", found by proxy auto-discovery (LocalSystem)";
        break;
    case ProxySource::Account: text = L"Proxy as the running account's own settings say"; break;
    }
    if (!choice.passedOver.empty())
        text += L"; the machine policy's value is not a proxy and was passed over";
    return text;
}

} // namespace net
