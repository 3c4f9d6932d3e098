#pragma once
// Asking the driver service where a package lies.

#include "workflows/DriverServiceProtocol.h"

#include <functional>
#include <string>

// GET of `requestUrl` and the judging of its reply, tried again after a transient failure (no
// answer, a broken or short reply, a busy server) as net::kRetrySchedule says. Writes the
// request URL, and on success the download URL, to the debugger output. There is one kind of
// failure. A proxy that asks for credentials is asked again once `askCredentials` says a person
// gave them.
bool QueryDriverService(const std::string& requestUrl, DriverPackageOffer& offer,
                        const std::function<bool(const std::wstring&)>& askCredentials = {});
