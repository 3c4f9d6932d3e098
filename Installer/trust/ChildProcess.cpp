#include "trust/ChildProcess.h"

#include "framework/KernelHandle.h"

#include <algorithm>

namespace {

using CreateEnvironmentBlockFn = BOOL(WINAPI*)(LPVOID*, HANDLE, BOOL);
using DestroyEnvironmentBlockFn = BOOL(WINAPI*)(LPVOID);

// userenv is no Known DLL: by full path from the system folder, never from ours.
HMODULE UserEnvironmentDll()
{
    static const HMODULE s_dll = [] {
        wchar_t folder[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return HMODULE{};
        return LoadLibraryExW((std::wstring(folder) + L"\\userenv.dll").c_str(), nullptr, 0);
    }();
    return s_dll;
}

bool IsTempVariable(const std::wstring& entry)
{
    const std::size_t equals = entry.find(L'=', 1);
    const std::wstring name = entry.substr(0, equals);
    return CompareStringOrdinal(name.c_str(), -1, L"TEMP", -1, TRUE) == CSTR_EQUAL ||
           CompareStringOrdinal(name.c_str(), -1, L"TMP", -1, TRUE) == CSTR_EQUAL;
}

} // namespace

std::vector<wchar_t> ChildEnvironment(const std::wstring& tempFolder)
{
    const HMODULE dll = UserEnvironmentDll();
    const auto create = dll ? reinterpret_cast<CreateEnvironmentBlockFn>(reinterpret_cast<void*>(
                                  GetProcAddress(dll, "CreateEnvironmentBlock")))
                            : nullptr;
    const auto destroy = dll ? reinterpret_cast<DestroyEnvironmentBlockFn>(reinterpret_cast<void*>(
                                   GetProcAddress(dll, "DestroyEnvironmentBlock")))
                             : nullptr;
    void* block = nullptr;
    // No token: the system's variables only, none of a user's.
    if (!create || !destroy || !create(&block, nullptr, FALSE))
    {
        if (!dll || !create || !destroy)
            SetLastError(ERROR_PROC_NOT_FOUND);
        return {};
    }
    std::vector<std::wstring> entries;
    for (const wchar_t* entry = static_cast<const wchar_t*>(block); *entry;
         entry += wcslen(entry) + 1)
        if (!IsTempVariable(entry))
            entries.emplace_back(entry);
    destroy(block);
    entries.push_back(L"TEMP=" + tempFolder);
    entries.push_back(L"TMP=" + tempFolder);
    // Windows keeps a block sorted by name, case ignored ("=C:" entries first).
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    std::vector<wchar_t> result;
    for (const std::wstring& entry : entries)
    {
        result.insert(result.end(), entry.begin(), entry.end());
        result.push_back(L'\0');
    }
    result.push_back(L'\0');
    return result;
}

ProcessOutcome RunChild(const ChildProgram& child, DWORD timeoutMs)
{
    ProcessOutcome outcome;
    std::vector<wchar_t> environment = ChildEnvironment(child.tempFolder);
    if (environment.empty())
    {
        // Without the system's block the child would get ours: it does not start.
        outcome.startError = GetLastError();
        return outcome;
    }
    // A path holds no quote, so quoting it whole is exact. CreateProcessW may write into the
    // command line: a private copy.
    std::wstring line = L"\"" + child.program + L"\"";
    if (!child.arguments.empty())
        line += L" " + child.arguments;
    std::vector<wchar_t> commandLine(line.begin(), line.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | (child.bNewConsole ? CREATE_NEW_CONSOLE : 0);
    if (!CreateProcessW(child.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags,
                        environment.data(), child.folder.empty() ? nullptr : child.folder.c_str(),
                        &startup, &info))
    {
        outcome.startError = GetLastError();
        return outcome;
    }
    KernelHandle process(info.hProcess);
    KernelHandle(info.hThread).reset();
    outcome.started = true;
    if (timeoutMs == 0)
        return outcome;
    if (WaitForSingleObject(process.get(), timeoutMs) == WAIT_TIMEOUT)
    {
        outcome.timedOut = true;
        TerminateProcess(process.get(), ERROR_TIMEOUT);
        WaitForSingleObject(process.get(), INFINITE);
    }
    outcome.exitCodeKnown = GetExitCodeProcess(process.get(), &outcome.exitCode) != FALSE;
    return outcome;
}
