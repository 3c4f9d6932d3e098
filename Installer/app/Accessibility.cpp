#include "app/Accessibility.h"

namespace {
// Declared here rather than linked from oleacc's import library, which would load oleacc.dll
// at start from wherever the program lies.
constexpr CLSID kClsidAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID kIidAccPropServices = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr MSAAPROPID kPropAccName = {
    0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
// UI Automation's LiveSetting property, which Windows 8 and later read from the annotation.
constexpr MSAAPROPID kPropLiveSetting = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kLivePolite = 1;
} // namespace

CAccessibleNotes::CAccessibleNotes() noexcept
{
    void* services = nullptr;
    if (SUCCEEDED(::CoCreateInstance(kClsidAccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                     kIidAccPropServices, &services)))
        m_services.reset(static_cast<IAccPropServices*>(services));
}

void CAccessibleNotes::MarkLiveRegion(HWND hWnd) noexcept
{
    if (!m_services)
        return;
    VARIANT polite{};
    polite.vt = VT_I4;
    polite.lVal = kLivePolite;
    m_services->SetHwndProp(hWnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kPropLiveSetting,
                            polite);
}

void CAccessibleNotes::SetName(HWND hWnd, const std::wstring& name) noexcept
{
    ::SetWindowTextW(hWnd, name.c_str());
    if (m_services)
        m_services->SetHwndPropStr(hWnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                   kPropAccName, name.c_str());
}

void CAccessibleNotes::Announce(HWND hWnd) noexcept
{
    ::NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, hWnd, OBJID_CLIENT, CHILDID_SELF);
}
