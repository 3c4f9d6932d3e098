#pragma once
// What the detection record of an unattended command holds: which outcomes are recorded, and
// the values' forms. No windows.h here: the rules are checked natively.

#include "net/Sha256Digest.h"

#include <cstdint>
#include <string>

// A setup that ended with 0, 3010 or 1641 installed its package; anything else did not.
bool IsInstalledExitCode(std::uint32_t exitCode);

struct UtcTime
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

struct DetectionValues
{
    std::wstring package;
    std::wstring sha256; // lower-case hex
    std::uint32_t exitCode = 0;
    std::wstring installerVersion;
    std::wstring installedAt; // ISO 8601 in UTC: 2026-12-09T23:31:05Z
};

// `version` as the caption shows it (ASCII "a.b.c.d").
DetectionValues MakeDetectionValues(const std::wstring& package, const net::Sha256Digest& sha256,
                                    std::uint32_t exitCode, const std::string& version,
                                    const UtcTime& now);
