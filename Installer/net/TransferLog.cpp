#include "net/TransferLog.h"

#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"

#include <windows.h>
#include <wininet.h>

#include <iterator>

namespace net {

namespace {
constexpr std::size_t kMaxErrorText = 255;
} // namespace

std::wstring InternetErrorText(unsigned long error)
{
    std::wstring text;
    if (error == ERROR_INTERNET_EXTENDED_ERROR)
    {
        DWORD code = 0;
        DWORD length = 0;
        InternetGetLastResponseInfoW(&code, nullptr, &length);
        if (length > 0)
        {
            text.assign(length + 1, L'\0');
            if (InternetGetLastResponseInfoW(&code, &text[0], &length))
                text.resize(length);
            else
                text.clear();
        }
    }
    else
    {
        // Room beyond the cut: FormatMessageW fails rather than truncates.
        wchar_t buffer[1024] = {};
        const DWORD length =
            FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           GetModuleHandleW(L"wininet.dll"), error, 0, buffer,
                           static_cast<DWORD>(std::size(buffer)), nullptr);
        text.assign(buffer, length);
    }
    if (text.size() > kMaxErrorText)
        text.resize(kMaxErrorText);
    return text;
}

void TraceDownloadError(const std::wstring& message)
{
    OutputDebugStringA("Download error : ");
    OutputDebugStringW(message.c_str());
}

void ReportDownloadError(std::wstring_view what, unsigned long error)
{
    TraceDownloadError(InternetErrorText(error));
    LogFailure(what, error);
}

void ReportDownloadProblem(const std::wstring& message)
{
    TraceDownloadError(message);
    LogEvent(message);
}

std::wstring TextForLog(const std::wstring& text)
{
    return EscapeForLog(WideToUtf8(text));
}

std::wstring UrlForLog(const CrackedUrl& url)
{
    return TextForLog(::UrlForLog((url.scheme == UrlScheme::Https ? L"https://" : L"http://") +
                                  url.host + L":" + std::to_wstring(url.port) + url.object));
}

bool PauseBeforeRetry(CRetryBudget& budget, TransferFailure failure, bool madeProgress,
                      const std::wstring& what)
{
    unsigned long pauseMs = 0;
    if (!budget.NextPause(failure, madeProgress, pauseMs))
        return false;
    LogEvent(what + L": " + DescribeFailure(failure) + L"; trying again in " +
             std::to_wstring(pauseMs) + L" ms");
    Sleep(pauseMs);
    return true;
}

} // namespace net
