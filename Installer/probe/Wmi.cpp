#include "probe/Wmi.h"

#include "framework/ComApartment.h"
#include "framework/ComPtr.h"
#include "localisation/TextEncoding.h"

#include <windows.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <cstring>

namespace {
class Bstr
{
public:
    explicit Bstr(const wchar_t* text) noexcept : m_b(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const noexcept { return m_b; }
    explicit operator bool() const noexcept { return m_b != nullptr; }

private:
    BSTR m_b;
};

class Variant
{
public:
    Variant() noexcept { VariantInit(&m_v); }
    ~Variant() { VariantClear(&m_v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() noexcept { return &m_v; }

private:
    VARIANT m_v;
};

// The property's value as text; false when it has none that converts.
bool VariantText(VARIANT* v, std::wstring& text)
{
    if (V_VT(v) == VT_NULL || V_VT(v) == VT_EMPTY)
    {
        text.clear();
        return true;
    }
    if (V_VT(v) != VT_BSTR && FAILED(VariantChangeType(v, v, 0, VT_BSTR)))
        return false;
    text.assign(V_BSTR(v), SysStringLen(V_BSTR(v)));
    return true;
}
} // namespace

bool QueryWmiProperty(const std::string& className, const std::wstring& property,
                      std::wstring& value)
{
    const ComApartment apartment(COINIT_MULTITHREADED);
    if (!apartment.usable())
        return false;

    ComPtr<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                locator.put_void())))
        return false;

    const Bstr nameSpace(L"ROOT\\CIMV2");
    if (!nameSpace)
        return false;
    ComPtr<IWbemServices> services;
    if (FAILED(locator->ConnectServer(nameSpace.get(), nullptr, nullptr, nullptr, 0, nullptr,
                                      nullptr, services.put())))
        return false;

    if (FAILED(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                 EOAC_NONE)))
        return false;

    char query[100] = "SELECT * FROM ";
    std::strncat(query, className.c_str(), sizeof(query) - std::strlen(query) - 1);
    const Bstr language(L"WQL");
    const Bstr queryText(AnsiToWide(query).c_str());
    if (!language || !queryText)
        return false;

    ComPtr<IEnumWbemClassObject> enumerator;
    if (FAILED(services->ExecQuery(language.get(), queryText.get(),
                                   WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                   enumerator.put())))
        return false;

    for (;;)
    {
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT hr =
            enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.put(), &returned);
        if (FAILED(hr) || returned == 0 || !object)
            break;

        Variant propertyValue;
        std::wstring text;
        if (SUCCEEDED(object->Get(property.c_str(), 0, propertyValue.get(), nullptr, nullptr)) &&
            VariantText(propertyValue.get(), text))
            value = text;
    }

    // Released in the order services, locator, enumerator, before the apartment ends.
    services.reset();
    locator.reset();
    enumerator.reset();
    return true;
}
