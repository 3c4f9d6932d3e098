#pragma once
// Asking the driver service where a package lies.

#include "workflows/DriverServiceProtocol.h"

#include <string>

// One GET of `requestUrl` and the judging of its reply. Writes the request URL, and on
// success the download URL, to the debugger output. There is one kind of failure.
bool QueryDriverService(const std::string& requestUrl, DriverPackageOffer& offer);
