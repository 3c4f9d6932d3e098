#pragma once
// What lies in the working folder (%LOCALAPPDATA%\KVZ7300): the support log, and a folder per
// package, made afresh for each run, that holds the download (its ".part" file while it
// arrives), what an archive unpacked, and the setup program's own temporary folder.

#include <string>

inline constexpr const wchar_t* kWorkFolderName = L"KVZ7300";
inline constexpr const wchar_t* kSupportLogName = L"Installer.log";
// Where a full log moves to; one old file is kept.
inline constexpr const wchar_t* kOldSupportLogName = L"Installer.1.log";
// The TEMP and TMP of a started setup program, inside its package folder.
inline constexpr const wchar_t* kSetupTempName = L"Temp";

// The folder the working folder lies in: the user's local application data, but under
// LocalSystem (how deployment tools run installers) ProgramData, which a 32-bit program sees
// where 64-bit setups and services do (the system profile lies below System32, which WOW64
// shows a 32-bit program elsewhere).
std::wstring WorkFolderBase(bool runsAsLocalSystem, const std::wstring& localAppData,
                            const std::wstring& programData);

// The name a working folder that is not the administrators' own is renamed to, `attempt`
// counting from 1 until one is free.
std::wstring SetAsideName(int attempt);

// The folder a program shipped in data\ is copied to and started from: one per program and
// installer process, so two installers never share one.
std::wstring ProgramCopyFolderName(const std::wstring& programName, unsigned long processId);

// The folder of a downloaded package: its checked file name without the extension. A name
// without one, or whose stem is empty or ends in a dot or blank (which Windows would strip,
// naming another folder), gets "_files" added to the whole name instead.
std::wstring PackageFolderName(const std::wstring& fileName);

// Whether start-up removes an entry that an earlier run left: every folder (package folders,
// and what archives unpacked there before they had folders of their own) and every ".part"
// file (a download cut off when the window closed). The logs stay.
bool IsWorkFolderLeftover(const std::wstring& name, bool isFolder);

// Names nothing else may take: the support log's files.
bool IsReservedWorkFolderName(const std::wstring& fileName);
