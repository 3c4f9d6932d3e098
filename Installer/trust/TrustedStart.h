#pragma once
// The one way the workflows start a downloaded program with administrator rights: only
// programs (.exe, or .msi through msiexec), and, when publishers are pinned, only what a
// pinned publisher signed under a root this machine trusts.

#include "trust/PublisherPins.h"

#include <windows.h>

#include <string>
#include <vector>

struct StartPolicy
{
    std::vector<PublisherPin> pins; // empty: any program starts, signed or not
    bool refuseAll = false;         // the pin list did not parse: start nothing
    std::wstring selfPath;          // whose signer `self` names; empty: this program's own file
};

// The policy of a pin list in KVZ_TRUSTED_PUBLISHERS form.
StartPolicy StartPolicyFromList(const std::string& list);

enum class StartResult
{
    Started,
    Failed,    // the shell did not start it (GetLastError set)
    Untrusted, // refused: no program, or not signed by a pinned publisher
};

// Starts `path` with the "runas" verb in its own folder, its prompt owned by `owner`, and
// does not wait for it. The file stays open, shared for reading only, from the check until
// the start, so what was checked is what starts.
StartResult StartProgramElevated(const std::wstring& path, HWND owner, const StartPolicy& policy);
