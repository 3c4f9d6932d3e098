#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Splits at each '.': two dots in a row give an empty part, a trailing dot adds none,
// an empty text gives no parts.
std::vector<std::wstring> SplitVersionText(const std::wstring& text);

// Family code from the operating system's version text ("6.1.7601", "10.0.19045"):
// 9 Windows 10 and later, 8 Windows 8.1, 7 Windows 8, 6 Windows 7, 5 Vista,
// 4 XP x64 / Server 2003, 2 XP, 3 Windows 2000, 1 NT 4.0, 0 unknown. The first two parts
// are compared as text, so "06.1" is unknown.
int WindowsFamilyFromVersion(const std::wstring& versionText);

// "major.minor.build.revision" from VS_FIXEDFILEINFO's dwFileVersionMS/LS, each part as
// an unsigned 16-bit number.
std::string FormatFileVersion(std::uint32_t versionMS, std::uint32_t versionLS);
