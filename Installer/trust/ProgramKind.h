#pragma once
// Which downloaded files count as programs the installer may start, and how.

#include <string>

enum class ProgramKind
{
    Refused, // anything else: scripts, shortcuts, HTML applications, documents
    Exe,     // started itself
    Msi,     // started through the system's msiexec, never through a file association
};

// Judged by the name's ending, case ignored.
ProgramKind ProgramKindOfName(const std::wstring& fileName);

// msiexec's parameters that install `msiPath`.
std::wstring MsiInstallParameters(const std::wstring& msiPath);
