#pragma once

#include <string>

// File version of the running executable as "a.b.c.d"; empty without a version resource.
std::string GetProgramVersion();

// File version of the executable at `path` as "a.b.c.d"; empty when the file has no
// version resource or cannot be read.
std::string GetFileVersionText(const std::wstring& path);
