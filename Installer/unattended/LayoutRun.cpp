#include "unattended/LayoutRun.h"

#include "framework/AsciiCase.h"
#include "localisation/ModulePath.h"
#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "net/Sha256Hasher.h"
#include "storage/PathComponents.h"
#include "storage/SafeStorage.h"
#include "trust/ShippedPrograms.h"
#include "trust/TrustedStart.h"
#include "unattended/ParentConsole.h"
#include "workflows/DriverService.h"
#include "workflows/LayoutManifest.h"
#include "workflows/Staging.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kDataFolder = L"data";
constexpr const wchar_t* kTranslationFile = L"data\\translation.json";

// The folder, made with those above it when missing; not a link, so nothing is written where
// it points.
bool MakePlainFolder(const std::wstring& path)
{
    if (!CreateDirectoryW(path.c_str(), nullptr))
    {
        const DWORD error = GetLastError();
        const std::wstring parent = FolderOfPath(path);
        if (error == ERROR_PATH_NOT_FOUND && !parent.empty() && parent.size() < path.size() &&
            MakePlainFolder(parent))
            CreateDirectoryW(path.c_str(), nullptr);
        else if (error != ERROR_ALREADY_EXISTS)
            return false;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    return true;
}

// Writes what `fill` writes under a name made anew (never through a link or a file someone put
// there) and renames it over `path`, so a reader finds the old file or the whole new one.
template <typename Fill>
bool WriteLayoutFile(const std::wstring& path, Fill fill)
{
    const std::wstring part = path + L".part";
    DeleteFileW(part.c_str()); // a link there goes as a link
    FileHandle file(CreateFileW(part.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    if (!fill(file.get()) || !RenameOpenFile(file.get(), path))
    {
        const DWORD error = GetLastError();
        FILE_DISPOSITION_INFO remove = {TRUE};
        SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof(remove));
        SetLastError(error);
        return false;
    }
    return true;
}

// A copy of the file open as `source` at `path`, hashed while it is written.
bool CopyIntoLayout(HANDLE source, const std::wstring& path, net::Sha256Digest& digest,
                    std::uint64_t& size)
{
    return WriteLayoutFile(path, [&](HANDLE target) {
        LARGE_INTEGER written{};
        if (!net::HashOpenFile(source, digest, target) || !GetFileSizeEx(target, &written))
            return false;
        size = static_cast<std::uint64_t>(written.QuadPart);
        return true;
    });
}

// This program and what ships in data\ beside it; its programs must be the build's.
bool LayOutInstaller(const std::wstring& folder, const CParentConsole& console)
{
    const std::wstring self = GetModulePath();
    const struct
    {
        std::wstring source;
        std::wstring relative; // in the layout
        const ShippedProgram* shipped;
    } files[] = {
        {self, NameOfPath(self), nullptr},
        {GetModuleRelativePath(kTranslationFile), kTranslationFile, nullptr},
        {GetModuleRelativePath(g_shippedArchiver.relativePath), g_shippedArchiver.relativePath,
         &g_shippedArchiver},
        {GetModuleRelativePath(g_shippedWifiSetup.relativePath), g_shippedWifiSetup.relativePath,
         &g_shippedWifiSetup},
    };
    if (!MakePlainFolder(folder + L"\\" + kDataFolder))
    {
        LogFailure(L"Layout: no data folder in " + folder, GetLastError());
        console.Say(L"Installer: failed");
        return false;
    }
    bool whole = true;
    for (const auto& file : files)
    {
        const std::wstring& source = file.source;
        // This program as it started, held since: its folder may be the user's.
        const FileHandle opened = source == self ? FileHandle() : OpenHeldForReading(source);
        const HANDLE original = source == self ? HeldOwnImage() : opened.get();
        net::Sha256Digest digest{};
        std::uint64_t size = 0;
        const std::wstring target = folder + L"\\" + file.relative;
        if (!original || !CopyIntoLayout(original, target, digest, size))
        {
            LogFailure(L"Layout: could not copy " + source + L" to " + target, GetLastError());
            whole = false;
        }
        else if (file.shipped && digest != file.shipped->sha256)
        {
            LogEvent(L"Layout: " + source + L" is not the program this installer shipped");
            DeleteFileW(target.c_str());
            whole = false;
        }
    }
    LogEvent(std::wstring(L"Layout: the installer and its data ") +
             (whole ? L"laid out" : L"not all laid out"));
    console.Say(std::wstring(L"Installer: ") + (whole ? L"laid out" : L"failed"));
    return whole;
}

// Names the layout keeps for itself.
bool IsReservedLayoutName(const std::wstring& name)
{
    const std::wstring folded = FoldedAsciiCase(name);
    return folded == FoldedAsciiCase(NameOfPath(GetModulePath())) || folded == kDataFolder ||
           folded == FoldedAsciiCase(kLayoutManifestName) ||
           (folded.size() > 5 && folded.compare(folded.size() - 5, 5, L".part") == 0);
}

class CLayoutMaker
{
public:
    CLayoutMaker(std::wstring folder, StartPolicy policy)
        : m_folder(std::move(folder)), m_policy(std::move(policy))
    {
    }

    // One command's package for one family: false when it is not in the layout.
    bool LayOut(const CommandRow& row, const std::string& os)
    {
        DriverPackageOffer offer;
        if (!QueryDriverService(BuildDriverServiceUrl(row.command, FamilyCodeOfToken(os)), offer))
            return Fail(L"the driver service offered no package");
        FetchedPackage package;
        const bool unpack = row.start == PackageStart::Unpack;
        if (PlanPackage(offer, unpack, m_policy, package) != PlanResult::Planned)
            return Fail(L"refused before it was downloaded");
        if (!DownloadPackage(offer, package, {}))
            return Fail(L"the download failed");
        if (!Trusted(row, package))
            return Fail(L"its setup program would not be started");
        LayoutEntry entry;
        entry.command = row.command;
        entry.os = os;
        entry.file = WideToUtf8(package.fileName);
        entry.source = LayoutSourceOfUrl(offer.downloadUrl);
        if (std::wstring(entry.file.begin(), entry.file.end()) != package.fileName ||
            IsReservedLayoutName(package.fileName))
            return Fail(L"its name " + package.fileName + L" cannot be laid out");
        // Two families may share one package; two packages may not share one name.
        const std::wstring key = FoldedAsciiCase(package.fileName);
        const auto earlier = m_written.find(key);
        if (earlier != m_written.end())
        {
            if (!net::HashOpenFile(package.held.get(), entry.sha256))
                return Fail(L"it could not be read", GetLastError());
            if (entry.sha256 != earlier->second.sha256)
                return Fail(L"another package of the layout has its name");
            entry.size = earlier->second.size;
        }
        else if (!CopyIntoLayout(package.held.get(), m_folder + L"\\" + package.fileName,
                                 entry.sha256, entry.size))
            return Fail(L"it could not be written to " + m_folder, GetLastError());
        m_written[key] = entry;
        m_line = package.fileName + L", " + std::to_wstring(entry.size) + L" bytes";
        m_entries.push_back(std::move(entry));
        return true;
    }

    bool WriteManifest()
    {
        const std::string text = WriteLayoutManifest(m_entries);
        return WriteLayoutFile(m_folder + L"\\" + kLayoutManifestName, [&text](HANDLE file) {
            DWORD written = 0;
            return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written,
                             nullptr) &&
                   written == text.size();
        });
    }

    const std::wstring& Line() const noexcept { return m_line; }

private:
    bool Fail(const std::wstring& why, DWORD error = 0)
    {
        if (error != 0)
            LogFailure(L"Layout: " + why, error);
        m_line = L"failed: " + why;
        return false;
    }

    // What an install would refuse to start is refused here: with pinned publishers, the
    // package's setup program must be signed by one of them.
    bool Trusted(const CommandRow& row, const FetchedPackage& package)
    {
        if (m_policy.pins.empty() && !m_policy.refuseAll)
            return true;
        ProgramToStart program;
        program.path = package.localPath;
        program.held = package.held.get();
        FileHandle unpacked;
        if (row.start == PackageStart::Unpack)
        {
            if (UnpackPackage(package, unpacked, program.path) != UnpackResult::Unpacked)
                return false;
            program.held = unpacked.get();
        }
        return MayStart(program, m_policy);
    }

    std::wstring m_folder;
    StartPolicy m_policy;
    std::vector<LayoutEntry> m_entries;
    std::map<std::wstring, LayoutEntry> m_written; // by folded file name
    std::wstring m_line;
};

} // namespace

int MakeLayout(const CInstallerParts& parts, const RunOptions& options) noexcept
{
    try
    {
        const CParentConsole console;
        const std::wstring folder = FullPath(options.layoutFolder);
        LogEvent(L"Layout run (/layout) into " + folder);
        if (folder.empty() || !MakePlainFolder(folder))
        {
            LogFailure(L"Layout: the folder could not be made: " + options.layoutFolder,
                       GetLastError());
            console.Say(L"Exit code " + std::to_wstring(kExitFailed));
            return kExitFailed;
        }
        bool whole = LayOutInstaller(folder, console);
        CLayoutMaker maker(folder, StartPolicyFromList(parts.publisherPins));
        for (const Command command : options.commands)
        {
            const CommandRow& row = RowOf(command);
            for (const std::string& os : LayoutFamilies(command))
            {
                const std::wstring label = std::wstring(row.logName) +
                                           (os == kAnyFamily ? L"" : L" (" + Utf8ToWide(os) + L")");
                LogEvent(L"Layout: " + label);
                whole = maker.LayOut(row, os) && whole;
                LogEvent(L"Layout outcome: " + label + L": " + maker.Line());
                console.Say(label + L": " + maker.Line());
            }
        }
        if (!maker.WriteManifest())
        {
            LogFailure(L"Layout: the manifest could not be written in " + folder, GetLastError());
            whole = false;
        }
        const int result = whole ? kExitSuccess : kExitFailed;
        LogEvent(L"Layout run ends with exit code " + std::to_wstring(result));
        console.Say(L"Exit code " + std::to_wstring(result));
        return result;
    }
    catch (...)
    {
        return kExitFailed;
    }
}
