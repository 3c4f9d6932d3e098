#include "app/InstallerDlg.h"

#include "app/ExtraMsg.h"
#include "app/OfferSwitches.h"
#include "app/PngResource.h"
#include "app/WindowStyle.h"
#include "framework/Font.h"
#include "framework/GdiSelect.h"
#include "framework/MemoryDc.h"
#include "framework/PaintDc.h"
#include "framework/WindowDc.h"
#include "probe/ProgramVersion.h"
#include "probe/WindowsFamily.h"

#include <thread>

namespace
{
std::wstring WidenAnsi(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int nLength =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (nLength <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(nLength), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                          nLength);
    return wide;
}

OfferSet CurrentOffers()
{
    OfferSet offers{};
    offers[static_cast<int>(Command::Wifi)] = g_bOfferWifi;
    offers[static_cast<int>(Command::Bluetooth)] = g_bOfferBluetooth;
    offers[static_cast<int>(Command::Hotspot)] = g_bOfferHotspot;
    offers[static_cast<int>(Command::Receiver)] = g_bOfferReceiver;
    return offers;
}
} // namespace

CInstallerDlg::CInstallerDlg() noexcept : CDialog(IDD_INSTALLER_DIALOG)
{
    const Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr);
    m_hIcon.reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                  MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0,
                                                  0, LR_DEFAULTSIZE)));
}

CInstallerDlg::~CInstallerDlg()
{
    if (m_gdiplusToken)
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
}

void CInstallerDlg::DoDataExchange() noexcept
{
    BindControl(IDC_INSTALL_WIFI, m_btnWifi);
    BindControl(IDC_INSTALL_BLUETOOTH, m_btnBluetooth);
    BindControl(IDC_INSTALL_RECEIVER, m_btnReceiver);
    BindControl(IDC_INSTALL_HOTSPOT, m_btnHotspot);
    BindControl(IDC_PROGRESS_BLUETOOTH, m_progBluetooth);
    BindControl(IDC_PROGRESS_HOTSPOT, m_progHotspot);
    BindControl(IDC_PROGRESS_RECEIVER, m_progReceiver);
    BindControl(IDC_STATUS, m_stcStatus);
}

CWindow& CInstallerDlg::Control(int nId) noexcept
{
    switch (nId)
    {
    case IDC_INSTALL_WIFI: return m_btnWifi;
    case IDC_INSTALL_BLUETOOTH: return m_btnBluetooth;
    case IDC_INSTALL_RECEIVER: return m_btnReceiver;
    case IDC_INSTALL_HOTSPOT: return m_btnHotspot;
    case IDC_PROGRESS_BLUETOOTH: return m_progBluetooth;
    case IDC_PROGRESS_HOTSPOT: return m_progHotspot;
    case IDC_PROGRESS_RECEIVER: return m_progReceiver;
    default: return m_stcStatus;
    }
}

BOOL CInstallerDlg::OnInitDialog() noexcept
{
    CDialog::OnInitDialog();
    CenterWindow();
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon.get()));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon.get()));
    m_translation.Load();

    m_fScale = DensityScale(GetWindowDpi(m_hWnd));
    m_font = CreatePointFont(FontPointTenths(m_fScale), kWindowFontFace);

    SIZE extent{};
    {
        CWindowDc dc(m_hWnd);
        CSelectObject selectFont(dc.get(), m_font.get());
        ::GetTextExtentPoint32W(dc.get(), L"Install", 7, &extent);
    }
    PrepareLayout(extent);

    ::SetWindowPos(m_hWnd, nullptr, 0, 0, g_nWindowWidth, m_plan.nWindowHeight,
                   SWP_NOMOVE | SWP_SHOWWINDOW);
    const RECT rcClient = GetClientRect();
    const MainPlacement placement = PlaceMainControls(
        m_plan, rcClient.right - rcClient.left, rcClient.bottom - rcClient.top, m_nTextHeight);

    for (size_t i = 0; i < m_plan.shownButtons.size(); ++i)
    {
        auto& button = static_cast<CSkinButton&>(Control(m_plan.shownButtons[i]));
        const PixelRect& r = placement.buttons[i];
        button.SetWindowPos(nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | SWP_HIDEWINDOW);
        SetUpSkinButton(button, IDB_BUTTON_FACE, m_font.get());
    }
    for (int nId : m_plan.hiddenButtons)
        Control(nId).ShowWindow(SW_HIDE);
    for (size_t j = 0; j < m_plan.shownBars.size(); ++j)
    {
        auto& bar = static_cast<CProgressCtrl&>(Control(m_plan.shownBars[j]));
        const PixelRect& r = placement.bars[j];
        bar.SetWindowPos(nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | SWP_HIDEWINDOW);
        bar.SetRange(0, 100);
    }
    for (int nId : m_plan.hiddenBars)
        Control(nId).ShowWindow(SW_HIDE);
    const PixelRect& status = placement.status;
    m_stcStatus.SetWindowPos(nullptr, status.x, status.y, status.width, status.height,
                             SWP_NOZORDER | SWP_SHOWWINDOW);

    if (g_bOfferWifi)
        m_btnWifi.ShowWindow(SW_SHOW);
    if (g_bOfferHotspot)
        m_btnHotspot.ShowWindow(SW_SHOW);
    if (GetWindowsFamily() >= 6)
    {
        if (g_bOfferReceiver)
            m_btnReceiver.ShowWindow(SW_SHOW);
        if (g_bOfferBluetooth)
        {
            m_bBluetoothShown = true;
            m_btnBluetooth.ShowWindow(SW_SHOW);
        }
    }

    SetText(MakeWindowCaption(WidenAnsi(GetProgramVersion())));
    return TRUE;
}

void CInstallerDlg::PrepareLayout(SIZE extent) noexcept
{
    m_nTextHeight = extent.cy;
    m_plan = PlanMainLayout(CurrentOffers());
    for (size_t i = 0; i < m_plan.shownButtons.size(); ++i)
    {
        const CommandRow& row = g_commandTable[static_cast<int>(m_plan.shownCommands[i])];
        Control(row.nButtonId).SetText(m_translation.GetWord(WordKeys[row.captionWord]));
    }
}

bool CInstallerDlg::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    switch (nMsg)
    {
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_hIcon.get());
        return true;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_ERASEBKGND:
        result = OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        result = reinterpret_cast<LRESULT>(OnCtlColor(nMsg, wParam, lParam));
        return result != 0;
    default:
        return false;
    }
}

bool CInstallerDlg::OnCommand(WORD nId, WORD nCode) noexcept
{
    if (nCode != BN_CLICKED)
        return false;
    switch (nId)
    {
    case IDOK: OnClickedOk(); return true;
    case IDCANCEL: OnClickedCancel(); return true;
    case IDC_INSTALL_WIFI: StartWorkflow(&CInstallerDlg::InstallWifiDriver); return true;
    case IDC_INSTALL_BLUETOOTH: StartWorkflow(&CInstallerDlg::InstallBluetoothDriver); return true;
    case IDC_INSTALL_RECEIVER: StartWorkflow(&CInstallerDlg::InstallReceiverApp); return true;
    case IDC_INSTALL_HOTSPOT: StartWorkflow(&CInstallerDlg::InstallHotspotDriver); return true;
    default: return false;
    }
}

void CInstallerDlg::OnClickedCancel() noexcept
{
    // Escape does nothing; the close box, Alt+F4 and the system menu arrive here with Escape
    // up and close the window at once, whatever runs.
    if (::GetKeyState(VK_ESCAPE) & 0x8000)
        return;
    EndDialog(IDCANCEL);
}

void CInstallerDlg::StartWorkflow(void (CInstallerDlg::*workflow)()) noexcept
{
    try
    {
        std::thread([this, workflow] {
            try
            {
                (this->*workflow)();
            }
            catch (...)
            {
                ::OutputDebugStringA("Workflow ended with an exception\r\n");
            }
        }).detach();
    }
    catch (...)
    {
        ::OutputDebugStringA("Starting a worker thread failed\r\n");
    }
}

bool CInstallerDlg::OnPaint() noexcept
{
    if (!::IsIconic(m_hWnd))
        return false; // the dialog's own painting
    CPaintDc dc(m_hWnd);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
    const RECT rc = GetClientRect();
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    ::DrawIcon(dc.get(), (rc.right - rc.left - cxIcon + 1) / 2,
               (rc.bottom - rc.top - cyIcon + 1) / 2, m_hIcon.get());
    return true;
}

BOOL CInstallerDlg::OnEraseBkgnd(HDC hDC) noexcept
{
    PaintBackground(hDC, GetClientRect());
    return TRUE;
}

void CInstallerDlg::PaintBackground(HDC hDC, const RECT& rc) noexcept
{
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    UniqueMemoryDc memoryDc(::CreateCompatibleDC(hDC));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(hDC, cx, cy));
    if (!memoryDc || !bitmap)
        return;
    {
        CSelectObject selectBitmap(memoryDc.get(), bitmap.get());
        {
            Gdiplus::Graphics graphics(memoryDc.get());
            const Gdiplus::Color opaqueBlue(255, GetRValue(kWindowBlue), GetGValue(kWindowBlue),
                                            GetBValue(kWindowBlue));
            Gdiplus::SolidBrush blue(opaqueBlue);
            graphics.FillRectangle(&blue, 0, 0, g_nWindowWidth, g_nWindowHeight);
            CPngImage banner;
            if (banner.Load(IDB_BANNER, L"PNG"))
            {
                const PixelRect r = BannerRect(cx, static_cast<int>(banner.get()->GetWidth()),
                                               static_cast<int>(banner.get()->GetHeight()));
                graphics.DrawImage(banner.get(), Gdiplus::Rect(r.x, r.y, r.width, r.height));
            }
        }
        ::BitBlt(hDC, 0, 0, cx, cy, memoryDc.get(), 0, 0, SRCCOPY);
    }
}

HBRUSH CInstallerDlg::OnCtlColor(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    const HBRUSH hDefault = DefaultCtlColor(nMsg, wParam, lParam);
    if (reinterpret_cast<HWND>(lParam) != m_stcStatus.GetSafeHwnd())
        return hDefault;
    return StyleWhiteText(reinterpret_cast<HDC>(wParam), m_font.get());
}

void CInstallerDlg::ShowStatusText(std::wstring text) noexcept
{
    m_stcStatus.SetText(text);
    // Hiding and showing makes the window repaint the background behind the transparent
    // status line, so no trace of the earlier text stays.
    m_stcStatus.ShowWindow(SW_HIDE);
    m_stcStatus.ShowWindow(SW_SHOW);
}

void CInstallerDlg::ShowNoInternetMessage() noexcept
{
    CExtraMsg message;
    message.DoModal();
}
