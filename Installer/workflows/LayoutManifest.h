#pragma once
// The manifest of a layout: which package file serves which command on which Windows family,
// with its size, SHA-256 and where it was downloaded from. Whoever could write where it lies
// may have written it, so the reader takes the file as hostile: nothing in it can make the
// installer crash, read out of bounds or name a file outside the layout. No windows.h here.

#include "net/Sha256Digest.h"
#include "workflows/Commands.h"

#include <cstdint>
#include <string>
#include <vector>

// Its name, at the top of the layout folder beside Installer.exe.
constexpr const wchar_t* kLayoutManifestName = L"KVZ7300-layout.json";

// A larger manifest is not read.
constexpr std::size_t kMaxLayoutManifestBytes = 64 * 1024;

// The os token of a command whose package is the same on every family.
constexpr const char* kAnyFamily = "any";

struct LayoutEntry
{
    Command command = Command::Bluetooth;
    std::string os;   // a driver-service os token, or kAnyFamily
    std::string file; // a plain file name at the top of the layout folder (printable ASCII)
    std::uint64_t size = 0;
    net::Sha256Digest sha256{};
    std::string source; // the download URL without user, password, query or fragment
};

// The families the driver service tells apart for `command`: its os tokens, or kAnyFamily
// alone; none for a command that downloads nothing.
std::vector<std::string> LayoutFamilies(Command command);

// A family code that the driver service maps to `os` (GetDriverServiceOsToken).
int FamilyCodeOfToken(const std::string& os);

// What the layout keeps of a download URL: no user name or password, no query (download tokens
// live there) and no fragment.
std::string LayoutSourceOfUrl(const std::string& url);

// The manifest's text.
std::string WriteLayoutManifest(const std::vector<LayoutEntry>& entries);

// False for a manifest that is too large, is not the format written above, names a command
// that downloads nothing, an unknown family, a file name that could leave the folder or name a
// device (as for downloads: PackageName.h), a size beyond the largest package, a malformed
// digest, or one command and family twice.
bool ReadLayoutManifest(const std::string& text, std::vector<LayoutEntry>& entries);

// The entry for `command` on a Windows of `familyCode`; null when the layout has none.
const LayoutEntry* FindLayoutEntry(const std::vector<LayoutEntry>& entries, Command command,
                                   int familyCode);
