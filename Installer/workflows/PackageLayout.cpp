#include "workflows/PackageLayout.h"

#include "localisation/ModulePath.h"
#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "net/Sha256Hasher.h"
#include "net/TransferLimits.h"
#include "net/TransferMath.h"
#include "storage/SafeStorage.h"
#include "storage/WorkFolderLayout.h"
#include "trust/ProgramKind.h"
#include "workflows/LayoutManifest.h"

#include <windows.h>

#include <chrono>
#include <vector>

namespace {

// Set before any command runs and only read afterwards.
struct LayoutSource
{
    std::wstring folder; // empty: no layout in use
    std::vector<LayoutEntry> entries;
    bool bOffline = false;
};

LayoutSource& Source()
{
    static LayoutSource s_source;
    return s_source;
}

// With `adminsOnly`, a manifest that others than administrators may change is refused
// (ERROR_INVALID_OWNER): it would name what runs elevated.
bool ReadManifest(const std::wstring& path, bool adminsOnly, std::string& text)
{
    const FileHandle file = OpenHeldForReading(path);
    LARGE_INTEGER size{};
    if (!file || (adminsOnly && !OnlyAdministratorsMayChange(file.get())) ||
        !GetFileSizeEx(file.get(), &size))
        return false;
    if (size.QuadPart <= 0 || size.QuadPart > static_cast<LONGLONG>(kMaxLayoutManifestBytes))
    {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    text.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!ReadFile(file.get(), &text[0], static_cast<DWORD>(text.size()), &got, nullptr))
        return false;
    text.resize(got);
    return true;
}

LayoutTake NotTaken(const LayoutSource& source, const CommandRow& row)
{
    if (!source.bOffline)
        return LayoutTake::NotThere;
    LogEvent(std::wstring(L"Not fetched (/offline): the ") + row.logName +
             L" package is not in a layout");
    return LayoutTake::Offline;
}

// The layout's file, copied while it is hashed into a package folder made afresh, and held
// there once its size and digest are the manifest's.
bool CopyFromLayout(const CommandRow& row, const LayoutEntry& entry, const std::wstring& folder,
                    FetchedPackage& package)
{
    const std::wstring name(entry.file.begin(), entry.file.end()); // printable ASCII
    const std::wstring path = folder + L"\\" + name;
    const auto refuse = [&path](const std::wstring& why, DWORD error) {
        const std::wstring what = L"Not taken from the layout: " + path + L": " + why;
        if (error == 0)
            LogEvent(what);
        else
            LogFailure(what, error);
        return false;
    };
    if (row.start != PackageStart::Unpack && ProgramKindOfName(name) == ProgramKind::Refused)
        return refuse(L"it names no program the installer starts", 0);
    const auto started = std::chrono::steady_clock::now();
    const FileHandle original = OpenHeldForReading(path);
    if (!original)
        return refuse(L"it could not be held", GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(original.get(), &size) ||
        static_cast<std::uint64_t>(size.QuadPart) != entry.size)
        return refuse(L"its size is not the manifest's", 0);
    if (!package.folder.Create(PackageFolderName(name)))
        return refuse(L"its package folder could not be made afresh", GetLastError());
    // As for a download: room is left for the unpacked files and for Windows.
    ULARGE_INTEGER available{};
    const bool freeKnown = GetDiskFreeSpaceExW((package.folder.Path() + L"\\").c_str(), &available,
                                               nullptr, nullptr) != FALSE;
    if (net::JudgePackageSize(entry.size, net::kMaxPackageBytes, available.QuadPart, freeKnown) !=
        net::SizeVerdict::Fits)
        return refuse(L"it does not fit on the working folder's drive", 0);
    package.url = Utf8ToWide(entry.source);
    package.fileName = name;
    package.localPath = package.folder.Entry(name);
    FileHandle target = package.folder.CreateNewFile(name);
    net::Sha256Digest digest{};
    FileIdentity identity;
    LARGE_INTEGER copied{};
    if (!target || !net::HashOpenFile(original.get(), digest, target.get()) ||
        !GetFileSizeEx(target.get(), &copied) || !IdentifySingleFile(target.get(), identity))
        return refuse(L"it could not be copied to the working folder", GetLastError());
    target.reset();
    if (static_cast<std::uint64_t>(copied.QuadPart) != entry.size || digest != entry.sha256)
        return refuse(L"its size or SHA-256 is not the manifest's", 0);
    // Only administrators can change the package folder: the file opened again is the copy.
    package.held = OpenHeldForReading(package.localPath, &identity);
    if (!package.held)
        return refuse(L"the copy could not be held", GetLastError());
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    LogEvent(L"Taken from the layout: " + path + L" (" + std::to_wstring(entry.size) +
             L" bytes, SHA-256 as in the manifest), copied to " + package.localPath + L" in " +
             std::to_wstring(ms) + L" ms");
    return true;
}

} // namespace

void UseLayoutSource(const std::wstring& folder, bool offline) noexcept
{
    try
    {
        LayoutSource& source = Source();
        source.bOffline = offline;
        const bool beside = folder.empty();
        const std::wstring where = beside ? FullPath(GetModuleRelativePath(L"")) : FullPath(folder);
        const std::wstring path = where + L"\\" + kLayoutManifestName;
        std::string text;
        // Whoever may write beside the program would choose what runs elevated (pins would
        // not stop an old signed package, or one with a file of theirs beside its signed
        // setup): a manifest there counts only when administrators alone can change it.
        // /source is the person's own choice.
        if (where.empty() || !ReadManifest(path, beside, text))
        {
            const DWORD error = GetLastError();
            if (error == ERROR_INVALID_OWNER)
                LogEvent(L"No layout used: " + path +
                         L" may be changed by others than administrators (/source names it)");
            // Beside the program, no manifest is the usual case.
            else if (!beside || (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND))
                LogFailure(L"No layout used: its manifest could not be read: " + path, error);
            return;
        }
        std::vector<LayoutEntry> entries;
        if (!ReadLayoutManifest(text, entries))
        {
            LogEvent(L"No layout used: " + path + L" is not a manifest this installer reads");
            return;
        }
        LogEvent(L"Layout in use: " + where + L" (packages: " + std::to_wstring(entries.size()) +
                 L")" + (offline ? L", offline" : L""));
        source.folder = where;
        source.entries = std::move(entries);
    }
    catch (...)
    {
        // Out of memory at start-up: no layout; the service is asked as before.
    }
}

LayoutTake TakePackageFromLayout(const CommandRow& row, int familyCode, FetchedPackage& package)
{
    const LayoutSource& source = Source();
    if (source.folder.empty())
        return NotTaken(source, row);
    CleanWorkFolder();
    const LayoutEntry* entry = FindLayoutEntry(source.entries, row.command, familyCode);
    if (!entry)
    {
        LogEvent(std::wstring(L"The layout holds no ") + row.logName +
                 L" package for this Windows");
        return NotTaken(source, row);
    }
    if (CopyFromLayout(row, *entry, source.folder, package))
        return LayoutTake::Taken;
    // Its folder let go, so a download can make it afresh.
    package = FetchedPackage();
    return NotTaken(source, row);
}
