#pragma once
// Who signed a program, believed only when Windows verifies the signature, the signer's chain
// ends in a root this machine trusts and no certificate of it is known to be revoked.

#include "trust/PublisherPins.h"

#include <windows.h>

#include <string>

// `file` is the program open for reading (it is what gets hashed); `path` names the same file.
// False, with a line on the debugger output, when either check fails.
bool ReadTrustedSigner(HANDLE file, const std::wstring& path, SignerIdentity& signer);
