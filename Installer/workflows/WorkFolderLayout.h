#pragma once
// What lies in the working folder (%LOCALAPPDATA%\KVZ7300): downloaded packages, their ".part"
// files while they arrive, the support log, and a folder per unpacked archive.

#include <string>

// The folder a downloaded archive is unpacked into: its checked file name without the
// extension. A name without one, or whose stem is empty or ends in a dot or blank (which
// Windows would strip, naming another folder), gets "_files" added to the whole name instead,
// so the folder never takes the archive's own name.
std::wstring PackageFolderName(const std::wstring& fileName);

// Whether start-up removes an entry that an earlier run left: every folder (package folders,
// and what archives unpacked there before they had folders of their own) and every ".part"
// file (a download cut off when the window closed). The logs and the packages stay.
bool IsWorkFolderLeftover(const std::wstring& name, bool isFolder);

// Names a download may not take: the support log's files.
bool IsReservedWorkFolderName(const std::wstring& fileName);
