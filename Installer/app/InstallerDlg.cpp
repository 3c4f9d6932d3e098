#include "app/InstallerDlg.h"

#include "app/Accessibility.h"
#include "app/OfferSwitches.h"
#include "BuildConfig.h"
#include "framework/GdiSelect.h"
#include "framework/PaintDc.h"
#include "framework/WindowDc.h"
#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "probe/ProgramVersion.h"

#include <memory>
#include <thread>
#include <vector>

namespace {
// How long the window waits for the Windows family before it shows its buttons as for an
// unknown one. A passive run waits for the family itself, however long it takes.
constexpr UINT kFamilyWaitMs = 5000;
constexpr UINT_PTR kFamilyTimer = 1;
// A passive run's window closes this long after the run ended.
constexpr UINT_PTR kPassiveCloseTimer = 2;
constexpr UINT kPassiveCloseMs = 2000;
// Takes what the mailbox holds when a wake-up could not be posted (a full message queue):
// timer messages need no room in the queue.
constexpr UINT_PTR kCatchUpTimer = 3;
constexpr UINT kCatchUpMs = 1000;

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
    : CBlueDialog(IDD_INSTALLER_DIALOG), m_parts(parts), m_familyProbe(familyProbe),
      m_banner(banner), m_background(banner), m_pPassive(passive)
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
    BindControl(IDC_STATUS, m_stcText);
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
    m_mailbox.shown[static_cast<size_t>(IndexOf(command))].store(true);
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
    m_mailbox.translation.Load();
    m_mailbox.hWnd = m_hWnd;
    MakeWindowFont();

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
    m_stcText.ShowWindow(SW_HIDE);
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
    m_stcText.SetWindowPos(nullptr, status.x, status.y, status.width, status.height,
                           SWP_NOZORDER | SWP_SHOWWINDOW);
    m_rcStatus = {status.x, status.y, status.x + status.width, status.y + status.height};

    // The status line is read out as its text changes; a bar is named by its command.
    CAccessibleNotes notes;
    notes.MarkLiveRegion(m_stcText.GetSafeHwnd());
    for (const CommandRow& row : g_commandTable)
        if (CProgressCtrl* bar = Bar(row.command))
            notes.SetName(bar->GetSafeHwnd(), Button(row.command).GetText());
    ApplyLook();

    for (const Command command : m_plan.shownCommands)
        if (!RowOf(command).bNeedsWindows7)
            ShowButton(command);
    // The rest waits for the Windows family, or for the timer that gives up on it, so that the
    // window paints and closes whatever the probe does. The family and the banner arrive
    // through the mailbox like every request.
    ::SetTimer(m_hWnd, kFamilyTimer, kFamilyWaitMs, nullptr);
    ::SetTimer(m_hWnd, kCatchUpTimer, kCatchUpMs, nullptr);
    CWindowMailbox* mailbox = &m_mailbox;
    m_familyProbe.WhenDone([mailbox] { mailbox->Wake(mailbox->requests.FamilyKnown()); });
    m_banner.WhenReady([mailbox] { mailbox->Wake(mailbox->requests.BannerReady()); });
    return TRUE;
}

// Shows the buttons that need Windows 7 or later for the family, or for an unknown one once the
// wait is over; the caption with the version marks the end of initialisation.
void CInstallerDlg::SettleFamily(std::optional<int> family) noexcept
{
    if (m_bFamilySettled)
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
}

void CInstallerDlg::OnTimer(UINT_PTR nId) noexcept
{
    switch (nId)
    {
    case kFamilyTimer: SettleFamily(std::nullopt); break;
    case kCatchUpTimer:
        if (m_mailbox.requests.WakeMissed())
            ApplyMailbox();
        break;
    case kPassiveCloseTimer: EndDialog(IDOK); break;
    default: break;
    }
}

int CInstallerDlg::ExitCode() const noexcept
{
    if (!m_pPassive)
        return kExitSuccess;
    return m_passiveResult.value_or(kExitUserCancelled);
}

// The newest state of each control the workers asked for, bars before the status line as a
// run moves its bar before it reports; then what else arrived.
void CInstallerDlg::ApplyMailbox() noexcept
{
    CWorkerRequests::Batch batch;
    try
    {
        batch = m_mailbox.requests.Take();
    }
    catch (...)
    {
        // Out of memory taking the requests: the next wake-up or the timer brings them again.
        return;
    }
    for (size_t i = 0; i < batch.bars.size(); ++i)
    {
        const CWorkerRequests::Bar& request = batch.bars[i];
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
    if (batch.bBannerReady)
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    if (batch.bFamilyKnown)
    {
        const std::optional<int> family = m_familyProbe.Result();
        SettleFamily(family);
        StartPassiveRunOnce(family.value_or(0));
    }
    if (batch.runEnded)
    {
        m_passiveResult = *batch.runEnded;
        ::SetTimer(m_hWnd, kPassiveCloseTimer, kPassiveCloseMs, nullptr);
    }
}

void CInstallerDlg::PrepareLayout(SIZE extent) noexcept
{
    m_nTextHeight = extent.cy;
    m_plan = PlanMainLayout(OfferedCommands());
    for (size_t i = 0; i < m_plan.shownButtons.size(); ++i)
    {
        const CommandRow& row = RowOf(m_plan.shownCommands[i]);
        Button(row.command).SetText(m_mailbox.translation.GetWord(WordKeys[row.captionWord]));
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
    case CWindowMailbox::kWakeMsg: ApplyMailbox(); return true;
    case WM_NCDESTROY: m_mailbox.requests.Close(); return false;
    default: return CBlueDialog::OnMessage(nMsg, wParam, lParam, result);
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

// A passive run starts once, with the family the probe found, whenever that arrives.
void CInstallerDlg::StartPassiveRunOnce(int family) noexcept
{
    if (!m_pPassive || m_bPassiveStarted)
        return;
    m_bPassiveStarted = true;
    std::unique_ptr<CWindowHost> host;
    try
    {
        host = std::make_unique<CWindowHost>(m_mailbox, true);
    }
    catch (...)
    {
        m_passiveResult = kExitFailed;
        ::SetTimer(m_hWnd, kPassiveCloseTimer, kPassiveCloseMs, nullptr);
        return;
    }
    StartPassiveRun(m_parts, *m_pPassive, family, std::move(host));
}

void CInstallerDlg::StartWorkflow(Command command) noexcept
{
    try
    {
        std::thread([this, command] {
            LogEvent(std::wstring(L"Clicked: ") + RowOf(command).logName);
            CWindowHost host(m_mailbox, false);
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

void CInstallerDlg::PaintBackground(HDC hDC, const RECT& rc) noexcept
{
    if (m_bHighContrast)
        CBlueDialog::PaintBackground(hDC, rc);
    else
        m_background.Paint(hDC, rc);
}

void CInstallerDlg::OnLookChanged() noexcept
{
    for (CSkinButton& button : m_buttons)
        if (button.GetSafeHwnd())
            button.SetSystemLook(m_bHighContrast);
}

void CInstallerDlg::ShowStatusText(const std::wstring& text) noexcept
{
    m_stcText.SetText(text);
    CAccessibleNotes::Announce(m_stcText.GetSafeHwnd());
    // The status line is transparent: its rectangle of the background is painted again under
    // the new text, so no trace of the earlier one stays; nothing else is.
    ::RedrawWindow(m_hWnd, &m_rcStatus, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
