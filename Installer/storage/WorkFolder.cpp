#include "storage/WorkFolder.h"

#include "framework/FindHandle.h"
#include "framework/KernelHandle.h"
#include "storage/WorkFolderLayout.h"

#include <utility>
#include <vector>

namespace {

constexpr DWORD kReparsePointMet = 681; // ERROR_STOPPED_ON_SYMLINK

// The long name of what `path` names now, matched by its long or its short (8.3) name.
std::wstring LongNameOf(const std::wstring& path)
{
    WIN32_FIND_DATAW entry = {};
    FindHandle find(FindFirstFileW(path.c_str(), &entry));
    return find ? std::wstring(entry.cFileName) : std::wstring();
}

FileHandle CheckedSingleFile(FileHandle file)
{
    FileIdentity identity;
    if (file && !IdentifySingleFile(file.get(), identity))
        file.reset();
    return file;
}

} // namespace

std::wstring WorkFolderPath()
{
    const std::wstring base = LocalAppDataFolder();
    if (base.empty())
        return std::wstring();
    const std::wstring folder = base + L"\\" + kWorkFolderName;
    // An existing folder is fine; a link in its place is not followed later.
    if (IsFreeOfReparsePoints(folder))
        CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring SupportLogFile(bool old)
{
    const std::wstring folder = WorkFolderPath();
    return folder.empty() ? folder : folder + L"\\" + (old ? kOldSupportLogName : kSupportLogName);
}

void RemoveWorkFolderLeftovers(const StorageReport& report)
{
    // The first installer of the session cleans; a second one must not pull the folder away
    // from under the first one's download or setup program.
    static KernelHandle s_instance;
    s_instance.reset(CreateMutexW(nullptr, FALSE, L"Local\\KVZ7300.WorkFolder"));
    if (!s_instance)
    {
        report(L"Working folder not cleaned", GetLastError());
        return;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS)
    {
        report(L"Another installer is running: the working folder is not cleaned", 0);
        return;
    }
    const std::wstring folder = WorkFolderPath();
    CHeldPath held;
    if (folder.empty() || !held.Hold(folder))
    {
        report(L"Working folder not cleaned: " + folder, GetLastError());
        return;
    }
    std::vector<std::pair<std::wstring, DWORD>> leftovers; // name, attributes
    WIN32_FIND_DATAW entry = {};
    FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (find)
    {
        do
        {
            const std::wstring name = entry.cFileName;
            const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (name != L"." && name != L".." && IsWorkFolderLeftover(name, isFolder))
                leftovers.emplace_back(name, entry.dwFileAttributes);
        } while (FindNextFileW(find.get(), &entry));
    }
    find.reset();
    for (const auto& [name, attributes] : leftovers)
    {
        // A folder goes only when it can first be renamed aside: Windows refuses that while a
        // file in it is open, as when a setup program an earlier run started still runs there.
        const std::wstring path = folder + L"\\" + name;
        std::wstring doomed = path;
        // A link is removed where it is: Wine's MoveFileW would move the folder it points to.
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        {
            doomed = folder + L"\\~" + name + L".removing";
            if (!MoveFileW(path.c_str(), doomed.c_str()))
            {
                report(L"Left an earlier run's folder in place: " + name, GetLastError());
                continue;
            }
        }
        const DWORD error = RemoveTree(doomed);
        report(error == ERROR_SUCCESS ? L"Removed an earlier run's " + name
                                      : L"Could not remove all of an earlier run's " + name,
               error);
    }
}

bool IdentifySingleFile(HANDLE file, FileIdentity& identity)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file, &info))
        return false;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks != 1)
    {
        SetLastError(kReparsePointMet);
        return false;
    }
    identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

FileHandle OpenSharedLogFile(const std::wstring& path)
{
    return CheckedSingleFile(FileHandle(
        CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
}

FileHandle CreateDownloadFile(const std::wstring& path)
{
    // Opened as it is, never emptied before the check: emptying a second name of a file
    // elsewhere would empty that file.
    FileHandle file = CheckedSingleFile(FileHandle(
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
    const LARGE_INTEGER start{};
    if (file &&
        !(SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) && SetEndOfFile(file.get())))
        file.reset();
    return file;
}

bool RenameOpenFile(HANDLE file, const std::wstring& target)
{
    const std::size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    target.copy(rename->FileName, target.size());
    return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size())) != FALSE;
}

FileHandle OpenHeldForReading(const std::wstring& path, const FileIdentity* expected)
{
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FileIdentity identity;
    if (file && !IdentifySingleFile(file.get(), identity))
        file.reset();
    else if (file && expected && !(identity == *expected))
    {
        file.reset();
        SetLastError(ERROR_FILE_INVALID);
    }
    return file;
}

bool CPackageFolder::Create(const std::wstring& name)
{
    const std::wstring folder = WorkFolderPath();
    if (folder.empty())
    {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    const std::wstring path = folder + L"\\" + name;
    // Windows also finds an entry by its short name: "INSTAL~1.LOG" may be the log.
    if (IsReservedWorkFolderName(name) || IsReservedWorkFolderName(LongNameOf(path)))
    {
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    // The working folder stays where it is while the package folder is open.
    CHeldPath workFolder;
    if (!workFolder.Hold(folder))
        return false;
    FileHandle made = CreateAdminOnlyFolder(path);
    const std::wstring temp = path + L"\\" + kSetupTempName;
    FileHandle madeTemp = made ? CreateAdminOnlyFolder(temp) : FileHandle();
    if (!madeTemp)
        return false;
    m_path = path;
    m_temp = temp;
    m_workFolder = std::move(workFolder);
    m_folder = std::move(made);
    m_tempFolder = std::move(madeTemp);
    return true;
}
