#include "unattended/ParentConsole.h"

#include "localisation/TextEncoding.h"

#include <windows.h>

namespace {

HANDLE DuplicateOwn(HANDLE handle) noexcept
{
    HANDLE own = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &own, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return INVALID_HANDLE_VALUE;
    return own;
}

} // namespace

CParentConsole::CParentConsole() noexcept
{
    const HANDLE given = GetStdHandle(STD_OUTPUT_HANDLE);
    if (given && given != INVALID_HANDLE_VALUE && GetFileType(given) != FILE_TYPE_UNKNOWN)
        m_out.reset(DuplicateOwn(given));
    else if (AttachConsole(ATTACH_PARENT_PROCESS))
        m_out.reset(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
}

void CParentConsole::Say(const std::wstring& line) const noexcept
{
    if (!m_out)
        return;
    try
    {
        const std::wstring text = line + L"\r\n";
        DWORD written = 0;
        if (!WriteConsoleW(m_out.get(), text.c_str(), static_cast<DWORD>(text.size()), &written,
                           nullptr))
        {
            // Redirected to a file: UTF-8.
            const std::string utf8 = WideToUtf8(text);
            WriteFile(m_out.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
        }
    }
    catch (...)
    {
        // Out of memory: the line is lost; the log and the exit code still tell.
    }
}
