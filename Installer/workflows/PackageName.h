#pragma once
// The local file name of a downloaded package, taken from its download URL. The URL comes
// from the network, so the name is checked before it names anything on disk.

#include <optional>
#include <string>

// The last segment of the URL's path, without query or fragment, kept as it stands (no
// percent-decoding). Nothing when that segment cannot safely name a file in the working
// folder: empty, "." or "..", longer than 200 characters, holding \ / : * ? " < > | or a
// control character, ending in a dot or blank (Windows would strip them and name another
// file), or a reserved device name (CON, NUL, COM1, ... with or without an extension).
std::optional<std::wstring> PackageFileNameFromUrl(const std::wstring& url);

// Whether `name` can safely name a file in a folder by itself, by the rules above.
bool IsSafePackageFileName(const std::wstring& name);
