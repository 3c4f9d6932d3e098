#pragma once
// The server's certificate judged again as the machine trusts it. WinINet builds the chain with
// the current user's engine, whose roots include the user's own store, where any program of
// the user can add one; this elevated installer starts what it downloads.

#include <windows.h>
#include <wincrypt.h>
#include <wininet.h>

#include <string>

namespace net {

// Whether the certificate the server presented on `request`, sent over TLS to `host`, holds in
// the machine's own trust: its chain rebuilt with the local machine's engine, with what the
// server sent as the only other certificates, valid for server authentication without any
// error (a partial chain included: Wine's SSL policy passes one), and the SSL policy met for
// `host`. When not, `why` says what failed. False too when WinINet gives no chain (IE 8 and
// later do, so every Windows from 7 on).
bool IsServerTrustedByMachine(HINTERNET request, const std::wstring& host, std::wstring& why);

} // namespace net
