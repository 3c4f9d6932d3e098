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
    // Whose signer `self` names; empty: this program as it was started (HoldOwnImage).
    std::wstring selfPath;
};

// Keeps this program's own file open from start-up, shared for reading only, so that `self`
// is the signer of the program that runs, not of a file put in its place later.
void HoldOwnImage() noexcept;
// The file HoldOwnImage holds (null when it could not be held): what copies this program
// reads, never its path again.
HANDLE HeldOwnImage() noexcept;

// The first thing a run does: holds this program's own file and, when `policy` pins `self`,
// reads its signer's key through that handle, once; later pinned checks use that key.
void ReadSelfKeyAtStart(const StartPolicy& policy) noexcept;

// The policy of a pin list in KVZ_TRUSTED_PUBLISHERS form.
StartPolicy StartPolicyFromList(const std::string& list);

enum class StartResult
{
    Started,
    Failed,    // it did not start (GetLastError set)
    Untrusted, // refused: no program, or not signed by a pinned publisher
};

struct ProgramToStart
{
    std::wstring path; // a program, or an .msi package
    // `path` open for reading, shared for reading only, from before the checks until the
    // start: what is checked is what starts.
    HANDLE held = nullptr;
    std::wstring tempFolder; // TEMP and TMP of the started program (ChildProcess.h)
    std::wstring arguments;  // appended to its command line (msiexec's for a package)
    bool bWait = false;      // wait for it to end and read its exit code
};

// Whether StartProgramElevated would start `program` under `policy` (a program, signed as
// the pins ask), without starting it: what a layout holds must pass the same checks.
bool MayStart(const ProgramToStart& program, const StartPolicy& policy);

// Starts the program with this process's rights (RunChild: its own folder, the system's
// environment, its own TEMP) and does not wait for it unless asked (an .msi package stays
// held until msiexec ends).
StartResult StartProgramElevated(const ProgramToStart& program, const StartPolicy& policy,
                                 DWORD* exitCode = nullptr);
