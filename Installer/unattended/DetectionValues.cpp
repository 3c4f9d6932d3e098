#include "unattended/DetectionValues.h"

#include <cstdio>

bool IsInstalledExitCode(std::uint32_t exitCode)
{
    return exitCode == 0 || exitCode == 3010 || exitCode == 1641;
}

namespace {
std::wstring Ascii(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::wstring IsoUtc(const UtcTime& t)
{
    char text[32] = {};
    std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return Ascii(text);
}
} // namespace

DetectionValues MakeDetectionValues(const std::wstring& package, const net::Sha256Digest& sha256,
                                    std::uint32_t exitCode, const std::string& version,
                                    const UtcTime& now)
{
    DetectionValues values;
    values.package = package;
    values.sha256 = Ascii(net::Sha256ToHex(sha256));
    values.exitCode = exitCode;
    values.installerVersion = Ascii(version);
    values.installedAt = IsoUtc(now);
    return values;
}
