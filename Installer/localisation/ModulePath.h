#pragma once

#include <string>

// A path beside the running executable: its folder followed by `relativePath`, or, for
// an empty `relativePath`, the folder with a trailing backslash. Empty when the path
// cannot be formed within MAX_PATH.
std::wstring GetModuleRelativePath(const std::wstring& relativePath);
