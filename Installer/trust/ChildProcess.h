#pragma once
// The one way the installer starts a program (the archiver, the Wi-Fi setup, a downloaded
// setup, msiexec): CreateProcessW with the program named by its full path, its own folder as
// current folder, and an environment made of the system's variables only, with TEMP and TMP
// its own folder. Nothing of the user's (PATH, windir or ComSpec set for the user alone, the
// user's TEMP) reaches a program that runs with administrator rights, no shell verb is
// resolved through class registrations the user can change, and this process's own
// environment is never changed, so two starts at once never see each other's.

#include <windows.h>

#include <string>
#include <vector>

struct ChildProgram
{
    std::wstring program;    // full path of the program file, never searched for
    std::wstring arguments;  // after the quoted program on its command line
    std::wstring folder;     // its current folder
    std::wstring tempFolder; // its TEMP and TMP
    bool bNewConsole = false;
};

struct ProcessOutcome
{
    bool started = false;
    DWORD startError = 0; // GetLastError of a start that failed
    bool exitCodeKnown = false;
    DWORD exitCode = 0;
    bool timedOut = false; // ended by us after the time allowed
};

// The environment block for a child: the system's variables (CreateEnvironmentBlock without
// a user), then TEMP and TMP set to `tempFolder`, sorted as Windows keeps blocks. Empty, with
// GetLastError set, when the system's variables cannot be had.
std::vector<wchar_t> ChildEnvironment(const std::wstring& tempFolder);

// Starts `child` and waits for it at most `timeoutMs` (INFINITE: until it ends; 0: not at
// all), ending it when it runs longer.
ProcessOutcome RunChild(const ChildProgram& child, DWORD timeoutMs);
