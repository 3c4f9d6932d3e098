// The reply judge reads what a network peer sent, and the layout's manifest what anybody who
// could write to its folder put there: neither may crash nor throw nor read out of bounds for
// any bytes, and whatever they accept must keep their promises.
#include "net/TransferLimits.h"
#include "workflows/DriverServiceProtocol.h"
#include "workflows/LayoutManifest.h"
#include "workflows/PackageName.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void CheckManifest(const std::string& text)
{
    std::vector<LayoutEntry> entries;
    if (!ReadLayoutManifest(text, entries))
        return;
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        const LayoutEntry& entry = entries[i];
        if (!IsSafePackageFileName(std::wstring(entry.file.begin(), entry.file.end())) ||
            entry.size > net::kMaxPackageBytes)
            std::abort();
        for (std::size_t j = 0; j < i; ++j)
            if (entries[j].command == entry.command && entries[j].os == entry.os)
                std::abort();
    }
    // What it accepts, written again, reads back the same.
    std::vector<LayoutEntry> again;
    if (!ReadLayoutManifest(WriteLayoutManifest(entries), again) || again.size() != entries.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    DriverPackageOffer offer;
    if (JudgeDriverServiceReply(body, offer))
    {
        if (offer.downloadUrl.empty() || offer.downloadUrl.find('\0') != std::string::npos)
            std::abort();
    }
    CheckManifest(body);
    return 0;
}
