#pragma once
// What a transfer tells the debugger and the support log: its failures, with WinINet's text,
// network text escaped for a log line, and the pause before another attempt.

#include "net/InternetRequest.h"
#include "net/TransferRetry.h"

#include <string>
#include <string_view>

namespace net {

// WinINet's text for an error (or the server's last response text for an extended error),
// cut to 255 characters. Call it on the thread where the error happened.
std::wstring InternetErrorText(unsigned long error);

// "Download error : " and the message, as two debugger outputs.
void TraceDownloadError(const std::wstring& message);

// A failed call: traced with WinINet's text for `error`, and logged as `what` with the code.
// Call it on the thread where the error happened.
void ReportDownloadError(std::wstring_view what, unsigned long error);

// A failure without an error code: traced and logged as `message`.
void ReportDownloadProblem(const std::wstring& message);

// Text from the network for a log line, escaped as EscapeForLog does, since it may say anything.
std::wstring TextForLog(const std::wstring& text);

// The URL for a log line, escaped the same way.
std::wstring UrlForLog(const CrackedUrl& url);

// Asks `budget` whether `failure` gets another attempt; if so logs why, with `what` (the
// transfer, for the log), and waits the pause. False when the failure stands.
bool PauseBeforeRetry(CRetryBudget& budget, TransferFailure failure, bool madeProgress,
                      const std::wstring& what);

} // namespace net
