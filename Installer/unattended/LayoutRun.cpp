#include "unattended/LayoutRun.h"

#include "framework/AsciiCase.h"
#include "localisation/ModulePath.h"
#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "net/Sha256Hasher.h"
#include "storage/PathComponents.h"
#include "storage/SafeStorage.h"
#include "storage/WorkFolder.h"
#include "trust/ShippedPrograms.h"
#include "trust/TrustedStart.h"
#include "unattended/ParentConsole.h"
#include "workflows/DriverService.h"
#include "workflows/LayoutManifest.h"
#include "workflows/Staging.h"

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kDataFolder = L"data";
constexpr const wchar_t* kTranslationFile = L"data\\translation.json";

// The folder, made with those above it when missing (CLayoutFolder then refuses links).
bool MakeFolder(const std::wstring& path)
{
    if (CreateDirectoryW(path.c_str(), nullptr))
        return true;
    const DWORD error = GetLastError();
    const std::wstring parent = FolderOfPath(path);
    if (error == ERROR_PATH_NOT_FOUND && !parent.empty() && parent.size() < path.size() &&
        MakeFolder(parent))
        return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
    return error == ERROR_ALREADY_EXISTS;
}

// The layout's folder and its data\, held from their making to the end of the run, neither a
// link; everything is written into them by handle. This run has administrator rights and the
// folder may be one that users write to: a folder swapped in on the way (a junction to one of
// the administrators') never receives what it writes.
class CLayoutFolder
{
public:
    bool Open(const std::wstring& path)
    {
        m_path = path;
        OpenRequest request;
        request.access =
            FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
        request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        request.options = FILE_DIRECTORY_FILE;
        if (IsLocalDrivePath(path))
            m_top = OpenWithoutLinks(path, request);
        else
        {
            // A share: the server follows its own links; the folder itself is no link.
            m_top.reset(
                CreateFileW(path.c_str(), request.access, request.share, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
            FILE_ATTRIBUTE_TAG_INFO tag{};
            if (m_top && (!GetFileInformationByHandleEx(m_top.get(), FileAttributeTagInfo, &tag,
                                                        sizeof(tag)) ||
                          (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)))
            {
                m_top.reset();
                SetLastError(ERROR_DIRECTORY);
            }
        }
        if (!m_top)
            return false;
        request.disposition = FILE_OPEN_IF;
        m_data = OpenInFolder(m_top.get(), kDataFolder, DataPath(), request);
        return static_cast<bool>(m_data);
    }

    const std::wstring& Path() const noexcept { return m_path; }
    std::wstring DataPath() const { return m_path + L"\\" + kDataFolder; }

    // Writes what `fill` writes under a name made anew in the folder (or its data\) and
    // renames it over `name`, so that a reader finds the old file or the whole new one. What
    // `fill` refuses is removed by its handle.
    bool Write(bool inData, const std::wstring& name, const std::function<bool(HANDLE)>& fill)
    {
        const HANDLE folder = inData ? m_data.get() : m_top.get();
        const std::wstring folderPath = inData ? DataPath() : m_path;
        const std::wstring part = name + L".part";
        // Whatever lies there goes, a link as a link.
        if (RemoveTreeIn(folder, folderPath, part) != ERROR_SUCCESS)
            return false;
        OpenRequest request;
        request.access = GENERIC_READ | GENERIC_WRITE | DELETE;
        request.share = 0;
        request.disposition = FILE_CREATE;
        request.options = FILE_NON_DIRECTORY_FILE;
        const FileHandle file = OpenInFolder(folder, part, folderPath + L"\\" + part, request);
        if (!file)
            return false;
        if (!fill(file.get()) || !RenameInto(file.get(), folder, name, true))
        {
            const DWORD error = GetLastError();
            FILE_DISPOSITION_INFO remove = {TRUE};
            SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof(remove));
            SetLastError(error);
            return false;
        }
        return true;
    }

    // A copy of the file open as `source`, hashed while it is written.
    bool Copy(HANDLE source, bool inData, const std::wstring& name, net::Sha256Digest& digest,
              std::uint64_t& size)
    {
        return Write(inData, name, [&](HANDLE target) {
            LARGE_INTEGER written{};
            if (!net::HashOpenFile(source, digest, target) || !GetFileSizeEx(target, &written))
                return false;
            size = static_cast<std::uint64_t>(written.QuadPart);
            return true;
        });
    }

private:
    std::wstring m_path;
    FileHandle m_top;
    FileHandle m_data;
};

// This program and what ships in data\ beside it; its programs must be the build's.
bool LayOutInstaller(CLayoutFolder& layout, const CParentConsole& console)
{
    const std::wstring self = GetModulePath();
    const struct
    {
        std::wstring source;
        std::wstring name;
        bool bInData; // in the layout's data\, else beside the manifest
        const ShippedProgram* shipped;
    } files[] = {
        {self, NameOfPath(self), false, nullptr},
        {GetModuleRelativePath(kTranslationFile), NameOfPath(kTranslationFile), true, nullptr},
        {GetModuleRelativePath(g_shippedArchiver.relativePath),
         NameOfPath(g_shippedArchiver.relativePath), true, &g_shippedArchiver},
        {GetModuleRelativePath(g_shippedWifiSetup.relativePath),
         NameOfPath(g_shippedWifiSetup.relativePath), true, &g_shippedWifiSetup},
    };
    bool whole = true;
    for (const auto& file : files)
    {
        const std::wstring& source = file.source;
        // This program as it started, held since: its folder may be the user's.
        const FileHandle opened = source == self ? FileHandle() : OpenHeldForReading(source);
        const HANDLE original = source == self ? HeldOwnImage() : opened.get();
        bool foreign = false;
        const bool copied = original && layout.Write(file.bInData, file.name, [&](HANDLE target) {
            net::Sha256Digest digest{};
            if (!net::HashOpenFile(original, digest, target))
                return false;
            foreign = file.shipped && digest != file.shipped->sha256;
            return !foreign;
        });
        if (foreign)
            LogEvent(L"Layout: " + source + L" is not the program this installer shipped");
        else if (!copied)
            LogFailure(L"Layout: could not copy " + source + L" into " + layout.Path(),
                       GetLastError());
        whole = copied && whole;
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
    CLayoutMaker(CLayoutFolder& layout, StartPolicy policy)
        : m_layout(layout), m_policy(std::move(policy))
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
        else if (!m_layout.Copy(package.held.get(), false, package.fileName, entry.sha256,
                                entry.size))
            return Fail(L"it could not be written to " + m_layout.Path(), GetLastError());
        m_written[key] = entry;
        m_line = package.fileName + L", " + std::to_wstring(entry.size) + L" bytes";
        m_entries.push_back(std::move(entry));
        return true;
    }

    bool WriteManifest()
    {
        const std::string text = WriteLayoutManifest(m_entries);
        return m_layout.Write(false, kLayoutManifestName, [&text](HANDLE file) {
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

    CLayoutFolder& m_layout;
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
        CLayoutFolder layout;
        if (folder.empty() || !MakeFolder(folder) || !layout.Open(folder))
        {
            LogFailure(L"Layout: the folder could not be made: " + options.layoutFolder,
                       GetLastError());
            console.Say(L"Exit code " + std::to_wstring(kExitFailed));
            return kExitFailed;
        }
        bool whole = LayOutInstaller(layout, console);
        CLayoutMaker maker(layout, StartPolicyFromList(parts.publisherPins));
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
