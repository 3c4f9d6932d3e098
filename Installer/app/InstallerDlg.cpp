#include "app/InstallerDlg.h"

#include "app/ExtraMsg.h"
#include "app/OfferSwitches.h"
#include "app/PngResource.h"
#include "app/WindowStyle.h"
#include "BuildConfig.h"
#include "framework/Font.h"
#include "framework/GdiSelect.h"
#include "framework/MemoryDc.h"
#include "framework/PaintDc.h"
#include "framework/WindowDc.h"
#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "probe/ProgramVersion.h"
#include "unattended/UnattendedRun.h"

#include <optional>
#include <thread>
#include <utility>

namespace {
// How long the window waits for the Windows family before it counts as unknown.
constexpr UINT kFamilyWaitMs = 5000;
// Longer than the banner's worker ever takes; past it the window is blue until its next paint.
constexpr DWORD kBannerWaitMs = 3000;
constexpr UINT_PTR kFamilyTimer = 1;
// Posted by the family probe with its answer, and by workers with requests to apply.
constexpr UINT kFamilyKnownMsg = WM_APP + 1;
constexpr UINT kWorkerRequestsMsg = WM_APP + 2;
// A passive run: its worker posts this when the last command ended; the window closes 2 s on.
constexpr UINT kPassiveDoneMsg = WM_APP + 3;
constexpr UINT_PTR kPassiveCloseTimer = 2;
constexpr UINT kPassiveCloseMs = 2000;

void LogButtonsShown(const std::vector<Command>& shown, std::optional<int> family)
{
    std::wstring text = L"Buttons:";
    for (const Command command : shown)
        text += std::wstring(L" ") + RowOf(command).logName;
    text += L" (Windows family " + (family ? std::to_wstring(*family) : L"unknown") + L")";
    LogEvent(text);
}
} // namespace

CInstallerDlg::CInstallerDlg(const CInstallerParts& parts, const CFamilyProbe& familyProbe,
                             const CBannerTile& banner, const RunOptions* passive) noexcept
    : CDialog(IDD_INSTALLER_DIALOG), m_parts(parts), m_familyProbe(familyProbe), m_banner(banner),
      m_pPassive(passive)
{
    m_hIcon.reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                  MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0,
                                                  LR_DEFAULTSIZE)));
}

void CInstallerDlg::DoDataExchange() noexcept
{
    for (const CommandRow& row : g_commandTable)
    {
        BindControl(row.nButtonId, Button(row.command));
        if (CProgressCtrl* bar = Bar(row.command))
            BindControl(row.nBarId, *bar);
    }
    BindControl(IDC_STATUS, m_stcStatus);
}

CSkinButton& CInstallerDlg::Button(Command command) noexcept
{
    return m_buttons[static_cast<size_t>(IndexOf(command))];
}

CProgressCtrl* CInstallerDlg::Bar(Command command) noexcept
{
    if (RowOf(command).nBarId == 0)
        return nullptr;
    return &m_bars[static_cast<size_t>(IndexOf(command))];
}

void CInstallerDlg::ShowButton(Command command) noexcept
{
    m_shown[static_cast<size_t>(IndexOf(command))].store(true);
    Button(command).ShowWindow(SW_SHOW);
}

BOOL CInstallerDlg::OnInitDialog() noexcept
{
    CDialog::OnInitDialog();
    // Read once: the file's version resource is asked for again by the caption.
    m_version = AnsiToWide(GetProgramVersion());
    LogEvent(L"Installer " + m_version +
             L" started; driver "
             L"service " KVZ_DRIVER_SERVICE_HOST_W L"; archiver 7-Zip " KVZ_7ZA_VERSION_W);
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

    // Hidden before the window shows, so that placing them later erases nothing.
    for (const CommandRow& row : g_commandTable)
    {
        Button(row.command).ShowWindow(SW_HIDE);
        if (CProgressCtrl* bar = Bar(row.command))
            bar->ShowWindow(SW_HIDE);
    }
    m_stcStatus.ShowWindow(SW_HIDE);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, g_nWindowWidth, m_plan.nWindowHeight,
                   SWP_NOMOVE | SWP_SHOWWINDOW);
    const RECT rcClient = GetClientRect();
    const MainPlacement placement = PlaceMainControls(
        m_plan, rcClient.right - rcClient.left, rcClient.bottom - rcClient.top, m_nTextHeight);

    // The placements follow the plan: the offered rows in the table's order.
    const OfferSet offers = OfferedCommands();
    size_t nButton = 0;
    size_t nBar = 0;
    for (const CommandRow& row : g_commandTable)
    {
        CSkinButton& button = Button(row.command);
        CProgressCtrl* bar = Bar(row.command);
        if (!offers[static_cast<size_t>(row.command)])
            continue;
        const PixelRect& r = placement.buttons[nButton++];
        button.SetWindowPos(nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | SWP_HIDEWINDOW);
        SetUpSkinButton(button, IDB_BUTTON_FACE, m_font.get());
        if (bar)
        {
            const PixelRect& b = placement.bars[nBar++];
            bar->SetWindowPos(nullptr, b.x, b.y, b.width, b.height, SWP_NOZORDER | SWP_HIDEWINDOW);
            bar->SetRange(0, 100);
        }
    }
    const PixelRect& status = placement.status;
    m_stcStatus.SetWindowPos(nullptr, status.x, status.y, status.width, status.height,
                             SWP_NOZORDER | SWP_SHOWWINDOW);
    m_rcStatus = {status.x, status.y, status.x + status.width, status.y + status.height};

    for (const Command command : m_plan.shownCommands)
        if (!RowOf(command).bNeedsWindows7)
            ShowButton(command);
    // The rest waits for the Windows family: the probe posts it, or the timer gives up, so
    // that the window paints and closes whatever the probe does.
    ::SetTimer(m_hWnd, kFamilyTimer, kFamilyWaitMs, nullptr);
    m_familyProbe.PostWhenDone(m_hWnd, kFamilyKnownMsg);
    return TRUE;
}

// Shows the buttons that need Windows 7 or later once the family is known, or as unknown once
// the wait is over; the caption with the version marks the end of initialisation.
void CInstallerDlg::FinishWhenFamilyKnown(bool bGiveUp) noexcept
{
    const std::optional<int> family = m_familyProbe.Result();
    if (m_bFamilySettled || (!family && !bGiveUp))
        return;
    m_bFamilySettled = true;
    ::KillTimer(m_hWnd, kFamilyTimer);
    if (!family)
        ::OutputDebugStringA("The Windows family did not arrive in time; counted as unknown\r\n");
    std::vector<Command> shown;
    try
    {
        for (const Command command : m_plan.shownCommands)
        {
            const CommandRow& row = RowOf(command);
            if (!OfferedOnFamily(row, family.value_or(0)))
                continue;
            shown.push_back(command);
            if (row.bNeedsWindows7)
                ShowButton(command);
        }
        LogButtonsShown(shown, family);
    }
    catch (...)
    {
        // Out of memory: the line of the log is lost; the buttons were shown.
    }
    SetText(MakeWindowCaption(m_version));
    if (m_pPassive)
        StartPassiveRun();
}

void CInstallerDlg::OnTimer(UINT_PTR nId) noexcept
{
    if (nId == kFamilyTimer)
        FinishWhenFamilyKnown(true);
    else if (nId == kPassiveCloseTimer)
        EndDialog(IDOK);
}

int CInstallerDlg::ExitCode() const noexcept
{
    if (!m_pPassive)
        return kExitSuccess;
    const int result = m_nPassiveResult.load();
    return result < 0 ? kExitUserCancelled : result;
}

// The newest state of each control the workers asked for; bars before the status line, as
// a run moves its bar before it reports.
void CInstallerDlg::ApplyWorkerRequests() noexcept
{
    try
    {
        const CWorkerRequests::Batch batch = m_requests.Take();
        for (int i = 0; i < CWorkerRequests::kBars; ++i)
        {
            const CWorkerRequests::Bar& request = batch.bars[static_cast<size_t>(i)];
            CProgressCtrl* bar = Bar(static_cast<Command>(i));
            if (!bar)
                continue;
            if (request.position)
                bar->SetPos(*request.position);
            if (request.visible)
                bar->ShowWindow(*request.visible ? SW_SHOW : SW_HIDE);
        }
        if (batch.status)
            ShowStatusText(*batch.status);
    }
    catch (...)
    {
        // Out of memory taking the requests: the next ones bring the newest state.
    }
}

void CInstallerDlg::PrepareLayout(SIZE extent) noexcept
{
    m_nTextHeight = extent.cy;
    m_plan = PlanMainLayout(OfferedCommands());
    for (size_t i = 0; i < m_plan.shownButtons.size(); ++i)
    {
        const CommandRow& row = RowOf(m_plan.shownCommands[i]);
        Button(row.command).SetText(m_translation.GetWord(WordKeys[row.captionWord]));
    }
}

bool CInstallerDlg::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    switch (nMsg)
    {
    case WM_PAINT: return OnPaint();
    case WM_QUERYDRAGICON: result = reinterpret_cast<LRESULT>(m_hIcon.get()); return true;
    case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_TIMER: OnTimer(static_cast<UINT_PTR>(wParam)); return true;
    case kFamilyKnownMsg: FinishWhenFamilyKnown(false); return true;
    case kWorkerRequestsMsg: ApplyWorkerRequests(); return true;
    case kPassiveDoneMsg:
        ::SetTimer(m_hWnd, kPassiveCloseTimer, kPassiveCloseMs, nullptr);
        return true;
    case WM_NCDESTROY: m_requests.Close(); return false;
    case WM_ERASEBKGND: result = OnEraseBkgnd(reinterpret_cast<HDC>(wParam)); return true;
    default:
        return AnswerBlueDialogColours(nMsg, wParam, lParam, m_stcStatus.GetSafeHwnd(),
                                       m_font.get(), result) &&
               result != 0;
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
    default:
        if (const CommandRow* row = RowOfButton(nId))
        {
            StartWorkflow(row->command);
            return true;
        }
        return false;
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

// What a worker sees of the window: requests queued for the window's thread, which a posted
// message wakes, and the window handle fixed when the worker started (never m_hWnd, which the
// window's thread clears at WM_NCDESTROY).
class CInstallerDlg::CHost final : public CWorkflowHost
{
public:
    // `bUnattended`: the host of a passive run, where no message waits for anyone.
    CHost(CInstallerDlg& window, HWND hWnd, bool bUnattended) noexcept
        : m_window(window), m_hWnd(hWnd), m_bUnattended(bUnattended)
    {
    }

    void ShowStatusText(std::wstring text) override
    {
        Wake(m_window.m_requests.SetStatus(std::move(text)));
    }
    // The message dialog runs its own modal loop on this worker, without an owner; in a
    // passive run nobody waits for it: its text goes to the status line and the log.
    void ShowNoInternetMessage() override
    {
        if (m_bUnattended)
        {
            const std::wstring text = GetWord(WordKeys[HINT_NO_INTERNET]);
            LogEvent(L"Message (to the status line): " + text);
            ShowStatusText(text);
            return;
        }
        CExtraMsg message;
        message.DoModal();
    }
    void ShowProgressBar(Command command) override
    {
        Wake(m_window.m_requests.ShowBar(static_cast<int>(command)));
    }
    void SetProgressBar(Command command, int percent) override
    {
        Wake(m_window.m_requests.MoveBar(static_cast<int>(command), percent));
    }
    void HideProgressBar(Command command) override
    {
        Wake(m_window.m_requests.HideBar(static_cast<int>(command)));
    }
    bool IsShown(Command command) override
    {
        return m_window.m_shown[static_cast<size_t>(IndexOf(command))].load();
    }
    // The window's thread reads the catalogue only while it initialises, before any worker.
    std::wstring GetWord(std::wstring key) override
    {
        return m_window.m_translation.GetWord(std::move(key));
    }

private:
    void Wake(bool bNeeded) noexcept
    {
        if (bNeeded && !::PostMessageW(m_hWnd, kWorkerRequestsMsg, 0, 0))
            m_window.m_requests.WakeFailed();
    }

    CInstallerDlg& m_window;
    const HWND m_hWnd;
    const bool m_bUnattended;
};

// The passive run on a worker of its own; the window closes 2 s after it ends.
void CInstallerDlg::StartPassiveRun() noexcept
{
    try
    {
        std::thread([this, hWnd = m_hWnd, options = *m_pPassive] {
            CHost host(*this, hWnd, true);
            m_nPassiveResult.store(RunPassively(m_parts, options, host));
            ::PostMessageW(hWnd, kPassiveDoneMsg, 0, 0);
        }).detach();
    }
    catch (...)
    {
        m_nPassiveResult.store(kExitFailed);
        ::PostMessageW(m_hWnd, kPassiveDoneMsg, 0, 0);
    }
}

void CInstallerDlg::StartWorkflow(Command command) noexcept
{
    try
    {
        std::thread([this, command, hWnd = m_hWnd] {
            LogEvent(std::wstring(L"Clicked: ") + RowOf(command).logName);
            CHost host(*this, hWnd, false);
            m_parts.runCommand(host, command, RunStyle::Interactive);
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
    const RECT rc = GetClientRect();
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    if (!m_background || m_backgroundSize.cx != cx || m_backgroundSize.cy != cy)
    {
        if (!DrawBackground(hDC, cx, cy))
        {
            FillWindowBlue(hDC, rc);
            return TRUE;
        }
    }
    UniqueMemoryDc memoryDc(::CreateCompatibleDC(hDC));
    if (!memoryDc)
        return TRUE;
    CSelectObject selectBitmap(memoryDc.get(), m_background.get());
    // The update region clips this to what needs painting, such as the status line alone.
    ::BitBlt(hDC, 0, 0, cx, cy, memoryDc.get(), 0, 0, SRCCOPY);
    return TRUE;
}

// Draws the colour and the banner once into the cached bitmap. False, with nothing cached, while
// the banner's worker has not finished.
bool CInstallerDlg::DrawBackground(HDC hDC, int cx, int cy) noexcept
{
    m_background.reset();
    bool bReady = false;
    const CBannerTile::Tile banner = m_banner.Wait(kBannerWaitMs, bReady);
    UniqueMemoryDc memoryDc(::CreateCompatibleDC(hDC));
    UniqueMemoryDc tileDc(::CreateCompatibleDC(hDC));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(hDC, cx, cy));
    if (!bReady || !memoryDc || !tileDc || !bitmap)
        return false;
    {
        CSelectObject selectBitmap(memoryDc.get(), bitmap.get());
        FillWindowBlue(memoryDc.get(), RECT{0, 0, cx, cy});
        if (banner.hBitmap)
        {
            CSelectObject selectTile(tileDc.get(), banner.hBitmap);
            const PixelRect r = BannerRect(cx, banner.image.cx, banner.image.cy);
            ::BitBlt(memoryDc.get(), r.x, r.y, r.width, r.height, tileDc.get(), 0, 0, SRCCOPY);
        }
    }
    m_background = std::move(bitmap);
    m_backgroundSize = {cx, cy};
    return true;
}

void CInstallerDlg::ShowStatusText(const std::wstring& text) noexcept
{
    m_stcStatus.SetText(text);
    // The status line is transparent: its rectangle of the background is painted again under
    // the new text, so no trace of the earlier one stays; nothing else is.
    ::RedrawWindow(m_hWnd, &m_rcStatus, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
