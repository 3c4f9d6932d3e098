// The reply judge reads what a network peer sent: it must neither crash nor throw nor
// read out of bounds for any bytes, and whatever it accepts must keep its promises.
#include "workflows/DriverServiceProtocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    DriverPackageOffer offer;
    if (JudgeDriverServiceReply(body, offer))
    {
        if (offer.downloadUrl.empty() || offer.downloadUrl.find('\0') != std::string::npos)
            std::abort();
    }
    return 0;
}
