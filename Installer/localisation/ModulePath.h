#pragma once

#include <string>

// The running executable's full path, however long; empty when Windows cannot tell.
std::wstring GetModulePath();

// A path beside the running executable: its folder followed by `relativePath`, or, for
// an empty `relativePath`, the folder with a trailing backslash. Empty when the
// executable's path is unknown.
std::wstring GetModuleRelativePath(const std::wstring& relativePath);
