#include "trust/ShippedPrograms.h"

#include "localisation/ModulePath.h"
#include "log/SupportLog.h"
#include "net/Sha256Hasher.h"
#include "storage/PathComponents.h"
#include "storage/WorkFolderLayout.h"

ShippedCheck CopyShippedProgram(const ShippedProgram& program, ShippedCopy& copy)
{
    const std::wstring source = GetModuleRelativePath(program.relativePath);
    const FileHandle original = source.empty() ? FileHandle() : OpenHeldForReading(source);
    if (!original)
    {
        const DWORD error = source.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
        LogFailure(L"Not started: " + source + L" could not be held", error);
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? ShippedCheck::Missing
                   : ShippedCheck::Changed;
    }
    const std::wstring name = NameOfPath(source);
    FileHandle target;
    if (copy.folder.Create(ProgramCopyFolderName(name, GetCurrentProcessId())))
        target = copy.folder.CreateNewFile(name);
    net::Sha256Digest digest{};
    FileIdentity identity;
    if (!target || !net::HashOpenFile(original.get(), digest, target.get()) ||
        !IdentifySingleFile(target.get(), identity))
    {
        LogFailure(L"Not started: " + source + L" could not be copied to the working folder",
                   GetLastError());
        return ShippedCheck::Changed;
    }
    target.reset();
    if (digest != program.sha256)
    {
        LogEvent(L"Not started: " + source + L" is not the program this installer shipped");
        return ShippedCheck::Changed;
    }
    copy.path = copy.folder.Entry(name);
    // In a folder only administrators can change, the file opened again is the one written.
    copy.held = OpenHeldForReading(copy.path, &identity);
    if (!copy.held)
    {
        LogFailure(L"Not started: the copy " + copy.path + L" could not be held", GetLastError());
        return ShippedCheck::Changed;
    }
    return ShippedCheck::Held;
}
