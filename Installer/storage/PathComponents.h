#pragma once
// Path arithmetic for the reparse-point checks: the folders and files a path passes through
// below a base folder.

#include <optional>
#include <string>
#include <vector>

// The paths of the components of `path` below `base`, outermost first: for base "C:\U\Local"
// and path "C:\U\Local\KVZ7300\a.zip", {"C:\U\Local\KVZ7300", "C:\U\Local\KVZ7300\a.zip"};
// empty when `path` is `base`. Nothing when `path` does not lie below `base` (ASCII case
// ignored), or when a component below it is empty, "." or "..", or holds "/" or ":" (another
// separator, a stream name): a path the checks cannot read component by component is refused.
std::optional<std::vector<std::wstring>> ComponentPathsBelow(const std::wstring& base,
                                                             const std::wstring& path);

// `path` relative to `base` ("KVZ7300\a.zip" for the example above) when it lies below it in
// plain components (ComponentPathsBelow); nothing otherwise, and for `base` itself.
std::optional<std::wstring> RelativePathBelow(const std::wstring& base, const std::wstring& path);

// The folder part of `path` (before its last "\" or "/"), and the name after it; the folder
// is empty and the name whole when there is no separator.
std::wstring FolderOfPath(const std::wstring& path);
std::wstring NameOfPath(const std::wstring& path);

// Whether `path` is a full path on a drive ("C:\Logs\run.log"): not relative, not a share
// ("\\server\..."), a device ("\\.\COM1") or "\\?\" form, with plain components only.
bool IsLocalDrivePath(const std::wstring& path);
